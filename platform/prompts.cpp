#include "platform/platform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <cstdio>

// Everything that would block for a person: message boxes, modal runs, the print and save
// dialogs, the wait cursor; each with its hook, and the unattended mode.

namespace platform {

namespace {

MessageBoxHook g_messageBoxHook;
bool g_unattended = false;
RunModalHook g_runModalHook;
PrintDialogHook g_printDialogHook;
SaveFileHook g_saveFileHook;

} // namespace

Answer MessageBox(QWidget* owner, const QString& text, bool okCancel) {
    if (g_messageBoxHook) return g_messageBoxHook(owner, text, okCancel);
    if (g_unattended) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(text));
        return Answer::Cancel;
    }
    QMessageBox box(okCancel ? QMessageBox::Question : QMessageBox::Information,
                    QCoreApplication::applicationName(), text,
                    okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, owner);
    return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

int RunModal(QDialog* dialog) {
    if (g_runModalHook) return g_runModalHook(dialog);
    return dialog->exec();
}

void SetUnattended(bool unattended) {
    g_unattended = unattended;
}

void SetMessageBoxHook(MessageBoxHook hook) {
    g_messageBoxHook = std::move(hook);
}

void SetRunModalHook(RunModalHook hook) {
    g_runModalHook = std::move(hook);
}

bool PrintDialog(QWidget* owner, QPrinter& printer) {
    printer.setPrintRange(QPrinter::AllPages);
    // Without a printer a PDF file is the one place a report can go: the operator is told so,
    // and the file is offered under the document's name in the home directory.
    const bool noPrinter = QPrinterInfo::availablePrinterNames().isEmpty();
    if (noPrinter) {
        MessageBox(owner, QStringLiteral(
                              "No printer is installed: the report can be printed to a PDF file."));
        QString name = printer.docName().trimmed();
        name.replace(QLatin1Char('/'), QLatin1Char('-'));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QDir::home().filePath(
            (name.isEmpty() ? QStringLiteral("report") : name) + QStringLiteral(".pdf")));
    }
#if QT_CONFIG(printdialog)
    QPrintDialog dialog(&printer, owner);
    // PrintCollateCopies stays: the copies and their collation are the printer's to make.
    // PrintToFile puts "Print to File (PDF)" under the printers, and alone when there are none.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintCollateCopies |
                      QAbstractPrintDialog::PrintShowPageSize);
    if (g_printDialogHook) return g_printDialogHook(&dialog);
    return dialog.exec() == QDialog::Accepted;
#else
    // A Qt without its print dialog prints to PDF files only: the file is asked for instead.
    const QString file =
        QFileDialog::getSaveFileName(owner, QStringLiteral("Print to PDF file"),
                                     printer.outputFileName(), QStringLiteral("PDF files (*.pdf)"));
    if (file.isEmpty()) return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    return true;
#endif
}

void SetPrintDialogHook(PrintDialogHook hook) {
    g_printDialogHook = std::move(hook);
}

QString SaveFileName(QWidget* owner, const QString& caption, const QString& suggested,
                     const QString& filter) {
    if (g_saveFileHook) return g_saveFileHook(caption, suggested);
    if (g_unattended) return {};
    return QFileDialog::getSaveFileName(owner, caption, suggested, filter);
}

void SetSaveFileHook(SaveFileHook hook) {
    g_saveFileHook = std::move(hook);
}

WaitCursor::WaitCursor() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::restoreOverrideCursor();
}

} // namespace platform
