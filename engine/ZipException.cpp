#include "ZipException.h"

#include "os/Os.h"

CZipException::CZipException(const CString& message) : std::logic_error(message) {}

CZipException::~CZipException() = default;

CString CZipException::getMessage() const
{
    return what();
}

CZipLastErrorException::CZipLastErrorException(const CString& message)
    : CZipException(message), errorCode_(os::lastError())
{
}

CZipLastErrorException::~CZipLastErrorException() = default;

CString CZipLastErrorException::getMessage() const
{
    return CZipException::getMessage() + "\r\n\r\n" + os::errorText(errorCode_);
}
