// The MIB-II system group: description, object id, uptime and services shown; contact, name
// and location written with Apply when the operator has the right.
#pragma once

#include "pages/pagecommon.h"

class CSystemInfoDlg : public QDialog {
    Q_OBJECT
public:
    CSystemInfoDlg();

    void OnRefresh();
    void OnApply();
    const SnmpChannel& getChannel() const { return m_get; }
    const SnmpChannel& setChannel() const { return m_set; }

private:
    void request();
    void OnGetResponse(unsigned short status, CSnmpMsg* msg);
    void OnSetDone(bool accepted);
    void showValues();

    // Get and set have a session each, so that neither cuts off the other's answer.
    SnmpChannel m_get;
    SnmpChannel m_set;
    QString m_strContact;
    QString m_strName;
    QString m_strLocation;
    // Per edit box (name, contact, location): whether the last answer carried its value, and
    // whether the operator has typed in it since. Apply writes only those for which either
    // holds: a value the device never gave (no answer yet, or an object it lacks) is not
    // erased by an empty box.
    bool m_read[3] = {};
    bool m_typed[3] = {};
};
