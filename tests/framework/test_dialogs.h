#pragma once
#define IDD_TEST_DIALOG 500
#define IDC_TEST_GO 501
#define IDC_TEST_CHECK 502
#define IDC_TEST_EDIT 503
