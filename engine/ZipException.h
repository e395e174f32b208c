#pragma once
#include "EngineApi.h"
#include "ZipString.h"

#include <cstdint>
#include <stdexcept>

// Every failure of the engine reaches the caller as one of these two classes.
class PACKROOK_ENGINE_API CZipException : public std::logic_error {
public:
    explicit CZipException(const CString& message);
    CZipException(const CZipException&);
    CZipException& operator=(const CZipException&);
    ~CZipException() override;

    virtual CString getMessage() const;
};

// Carries the operating system's error code from the moment it was thrown,
// so the message can explain what the system refused.
class PACKROOK_ENGINE_API CZipLastErrorException : public CZipException {
public:
    explicit CZipLastErrorException(const CString& message);
    CZipLastErrorException(const CZipLastErrorException&);
    CZipLastErrorException& operator=(const CZipLastErrorException&);
    ~CZipLastErrorException() override;

    CString getMessage() const override;
    uint32_t errorCode() const;

private:
    uint32_t errorCode_;
};
