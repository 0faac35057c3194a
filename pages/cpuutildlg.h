// CPU load of the device over 5 seconds, 1 minute and 5 minutes, re-read every 5 seconds.
#pragma once

#include "pages/pagecommon.h"

class CCpuUtilDlg : public CTimedGetPage {
    Q_OBJECT
public:
    CCpuUtilDlg();
};
