#include "platform/platform.h"

#include "platform/listview.h"
#include "platform/stretch.h"
#include "res/dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>

#include <limits>

// Dialogs built from the templates, their controls and what reads and limits them; the
// icons and cursors the templates name.

namespace platform {

namespace {

struct BaseUnits {
    int x, y;
};

BaseUnits baseUnits(const QString& family, int points) {
    QFont font(family, points);
    QFontMetrics fm(font);
    static const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    int x = (fm.horizontalAdvance(alphabet) / 26 + 1) / 2;
    return {std::max(x, 1), std::max(fm.height(), 1)};
}

} // namespace

void BuildDialog(QDialog* dialog, int templateId) {
    if (const res::DlgTemplate* t = res::Dialog(templateId)) BuildDialog(dialog, *t);
}

void BuildDialog(QDialog* dialog, const res::DlgTemplate& t) {
    const QString family = QString::fromLatin1(t.font);
    const BaseUnits bu = baseUnits(family, t.pointSize);
    auto px = [&](int x, int y, int w, int h) {
        return QRect(x * bu.x / 4, y * bu.y / 8, w * bu.x / 4, h * bu.y / 8);
    };
    dialog->setFont(QFont(family, t.pointSize));
    dialog->setWindowTitle(QString::fromUtf8(t.caption));
    dialog->setFixedSize(px(0, 0, t.w, t.h).size());
    QList<PlacedControl> placed;
    QLabel* caption = nullptr; // a label's text names the control that follows it
    for (int i = 0; i < t.count; ++i) {
        const res::DlgItem& it = t.items[i];
        const QString text = QString::fromUtf8(it.text);
        QWidget* w = nullptr;     // what is placed
        QWidget* named = nullptr; // what the id names, when not w
        switch (it.kind) {
        case res::Ctl::Static:
        case res::Ctl::Value: {
            auto* label = new QLabel(text, dialog);
            if (it.kind == res::Ctl::Value) {
                label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
                label->setTextInteractionFlags(Qt::TextSelectableByMouse);
            }
            w = label;
            if (it.flags & res::Large) {
                // A multi-line text scrolls when it is longer than its box.
                label->setWordWrap(true);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                auto* scroll = new QScrollArea(dialog);
                scroll->setFrameStyle(label->frameStyle());
                label->setFrameStyle(QFrame::NoFrame);
                scroll->setWidgetResizable(true);
                scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                scroll->setWidget(label);
                w = scroll;
                named = label;
            }
            break;
        }
        case res::Ctl::Edit: {
            auto* edit = new QLineEdit(text, dialog);
            if (caption) caption->setBuddy(edit);
            edit->setReadOnly(it.flags & res::ReadOnly);
            if (it.flags & res::Digits)
                edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[0-9]*")), edit));
            w = edit;
            break;
        }
        case res::Ctl::Button:
        case res::Ctl::DefButton: {
            auto* button = new QPushButton(text, dialog);
            button->setAutoDefault(false);
            button->setDefault(it.kind == res::Ctl::DefButton);
            w = button;
            break;
        }
        case res::Ctl::Check:
            w = new QCheckBox(text, dialog);
            break;
        case res::Ctl::Group:
            w = new QGroupBox(text, dialog);
            w->lower();
            break;
        case res::Ctl::List:
        case res::Ctl::ModelList: {
            // A ModelList shows a model the page sets, with the same look as a ListView.
            QTreeView* list = nullptr;
            if (it.kind == res::Ctl::List) {
                list = new ListView(dialog);
            } else {
                list = new QTreeView(dialog);
                SetListLook(list);
            }
            list->setSelectionMode(it.flags & res::MultiSelect
                                       ? QAbstractItemView::ExtendedSelection
                                       : QAbstractItemView::SingleSelection);
            w = list;
            break;
        }
        case res::Ctl::Combo:
            w = new QComboBox(dialog);
            break;
        }
        caption = it.kind == res::Ctl::Static ? qobject_cast<QLabel*>(w) : nullptr;
        QRect geometry = px(it.x, it.y, it.w, it.h);
        // A drop-down list's template height includes its opened list; closed it is one line.
        if (it.kind == res::Ctl::Combo)
            geometry.setHeight(std::min(geometry.height(), w->sizeHint().height()));
        w->setGeometry(geometry);
        placed.append({w, geometry, it.kind == res::Ctl::List || it.kind == res::Ctl::ModelList});
        if (it.id != -1) (named ? named : w)->setObjectName(QString::number(it.id));
        if (it.flags & res::Hidden) w->hide();
        if (it.flags & res::Disabled) w->setEnabled(false);
    }
    // Group boxes stand behind the controls drawn inside them.
    for (QGroupBox* g : dialog->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly))
        g->lower();
    StretchWithLists(dialog, placed);
}

QWidget* DialogItem(QWidget* dialog, int id) {
    return dialog ? dialog->findChild<QWidget*>(QString::number(id)) : nullptr;
}

void LimitTyping(QLineEdit* edit, int limit) {
    edit->setProperty("typingLimit", limit);
    edit->setMaxLength(limit);
    // Whatever the box holds may shrink, never grow past the limit again.
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, limit](const QString& text) {
        edit->setMaxLength(std::max(limit, int(text.size())));
    });
}

void SetEditText(QLineEdit* edit, const QString& text) {
    const QVariant limit = edit->property("typingLimit");
    if (limit.isValid()) edit->setMaxLength(std::max(limit.toInt(), int(text.size())));
    edit->setText(text);
}

QString FieldName(const QWidget* control) {
    for (const QLabel* label : control->window()->findChildren<QLabel*>())
        if (label->buddy() == control) {
            QString name = label->text();
            name.remove(QLatin1Char('&'));
            while (!name.isEmpty() && (name.back() == QLatin1Char(':') || name.back().isSpace()))
                name.chop(1);
            return name.trimmed();
        }
    return {};
}

bool ReadInteger(QLineEdit* edit, int& out) {
    return ReadInteger(edit, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), out);
}

bool ReadInteger(QLineEdit* edit, int min, int max, int& out) {
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    if (ok && value >= min && value <= max) {
        out = value;
        return true;
    }
    const bool bounded =
        min != std::numeric_limits<int>::min() || max != std::numeric_limits<int>::max();
    QString prompt =
        bounded ? QStringLiteral("Please enter an integer between %1 and %2.").arg(min).arg(max)
                : QStringLiteral("Please enter an integer.");
    // The framework's sentence stands; the box names the field by its caption in the dialog, as
    // the other boxes name what they are about before a colon.
    if (const QString name = FieldName(edit); !name.isEmpty())
        prompt = name + QStringLiteral(": ") + prompt;
    MessageBox(edit->window(), prompt);
    edit->setFocus();
    edit->selectAll();
    return false;
}

QIcon Icon(int id) {
    QIcon icon(QStringLiteral(":/images/icon%1.png").arg(id));
    if (id == 447) icon.addFile(QStringLiteral(":/images/icon447-64.png"));
    return icon;
}

QCursor HandCursor() {
    return QCursor(QPixmap(QStringLiteral(":/images/hand.png")), 6, 1);
}

} // namespace platform
