// One memory pool of the device (index, name, current, lowest and largest utilization),
// re-read every 5 seconds.
#pragma once

#include "pages/pagecommon.h"

class CMemoryInfoDlg : public CTimedGetPage {
    Q_OBJECT
public:
    CMemoryInfoDlg();
};
