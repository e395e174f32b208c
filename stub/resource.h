#pragma once
#define IDD_PASSWORD 101
#define IDC_PASSWORD 1000
#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif
