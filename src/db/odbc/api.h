#pragma once

// The ODBC C headers, for the files inside db/ only. <windows.h> must come first on Windows.
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

// Text crosses the wide API as UTF-16 on both platforms (unixODBC's SQLWCHAR is 16-bit).
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR must be a UTF-16 code unit");
