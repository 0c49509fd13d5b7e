// The failure HRESULT for an errno of opening, measuring or reading a file.
#pragma once

#include "platform/com/Com.h"

#include <cerrno>

inline HRESULT FileReadFailure(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case EACCES:
    case EPERM:
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    case ENOMEM:
        return E_OUTOFMEMORY;
    case ELOOP: // a link that leads back to itself
        return HRESULT_FROM_WIN32(ERROR_CANT_RESOLVE_FILENAME);
    case ENXIO: // a socket, or a device with nothing behind it
        return HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE);
    default:
        return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    }
}
