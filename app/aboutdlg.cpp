#include "app/aboutdlg.h"

#include "platform/platform.h"

#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    platform::BuildDialog(this, 100);
    setWindowIcon(platform::Icon(447));
    auto* icon = new QLabel(this);
    icon->setPixmap(platform::Icon(447).pixmap(32, 32));
    icon->setGeometry(12, 14, 32, 32);
    connect(platform::Item<QPushButton>(this, 1), &QPushButton::clicked, this, &QDialog::accept);
}
