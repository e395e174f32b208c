#include "ZipException.h"

#include "os/Os.h"

CZipException::CZipException(const CString& message) : std::logic_error(message) {}

CZipException::CZipException(const CZipException&) = default;
CZipException& CZipException::operator=(const CZipException&) = default;
CZipException::~CZipException() = default;

CString CZipException::getMessage() const
{
    return what();
}

CZipLastErrorException::CZipLastErrorException(const CString& message)
    : CZipException(message), errorCode_(os::lastError())
{
}

CZipLastErrorException::CZipLastErrorException(const CZipLastErrorException&) = default;
CZipLastErrorException& CZipLastErrorException::operator=(const CZipLastErrorException&) = default;
CZipLastErrorException::~CZipLastErrorException() = default;

uint32_t CZipLastErrorException::errorCode() const
{
    return errorCode_;
}

CString CZipLastErrorException::getMessage() const
{
    return CZipException::getMessage() + "\r\n\r\n" + os::errorText(errorCode_);
}
