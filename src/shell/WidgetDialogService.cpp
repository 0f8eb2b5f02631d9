#include "shell/WidgetDialogService.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStringListModel>
#include <QValidator>

namespace {

QWidget* dialogParent()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

QMessageBox::Icon toQtIcon(DialogIcon icon)
{
    switch (icon) {
    case DialogIcon::Information:
        return QMessageBox::Information;
    case DialogIcon::Warning:
        return QMessageBox::Warning;
    case DialogIcon::Error:
        return QMessageBox::Critical;
    case DialogIcon::Question:
        return QMessageBox::Question;
    case DialogIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Takes the sizes from 1 to `largest` as they are typed, and nothing larger.
class SizeValidator final : public QValidator
{
public:
    SizeValidator(int largestSize, QObject* parent) : QValidator(parent), largest(largestSize) {}

    State validate(QString& input, int&) const override
    {
        if (input.isEmpty())
            return Intermediate;
        for (const QChar c : std::as_const(input)) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return Invalid;
        }
        if (input.size() > 3 || input.toInt() > largest)
            return Invalid;
        return input.toInt() >= 1 ? Acceptable : Intermediate;
    }

private:
    int largest;
};

// Qt's font dialog offers sizes up to 512; only those up to `largest` are
// left in its size list, and its size field takes no larger one. The field
// is the one line of the dialog that checks what is typed; the list stands
// under it.
void limitSizes(QFontDialog& dialog, int largest)
{
    QLineEdit* sizeField = nullptr;
    for (QLineEdit* edit : dialog.findChildren<QLineEdit*>()) {
        if (qobject_cast<const QIntValidator*>(edit->validator()))
            sizeField = edit;
    }
    auto grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (!sizeField || !grid || largest <= 0)
        return;
    sizeField->setValidator(new SizeValidator(largest, sizeField));
    int row = 0;
    int column = 0;
    int rowSpan = 0;
    int columnSpan = 0;
    const int at = grid->indexOf(sizeField);
    if (at < 0)
        return;
    grid->getItemPosition(at, &row, &column, &rowSpan, &columnSpan);
    QLayoutItem* below = grid->itemAtPosition(row + 1, column);
    auto sizeList = below ? qobject_cast<QListView*>(below->widget()) : nullptr;
    auto sizes = sizeList ? qobject_cast<QStringListModel*>(sizeList->model()) : nullptr;
    if (!sizes)
        return;
    // The list is filled again for every family and style chosen.
    QObject::connect(sizes, &QAbstractItemModel::modelReset, &dialog, [sizes, largest]() {
        const QStringList all = sizes->stringList();
        for (int i = 0; i < all.size(); ++i) {
            if (all.at(i).toInt() > largest) {
                sizes->removeRows(i, int(all.size()) - i);
                break;
            }
        }
    });
}

} // namespace

DialogButton WidgetDialogService::ask(const QString& caption, const QString& text,
                                      DialogButtons buttons, DialogIcon icon)
{
    QMessageBox box(toQtIcon(icon), caption, text, QMessageBox::NoButton, dialogParent());
    struct Choice {
        DialogButton answer;
        QMessageBox::StandardButton qtButton;
        const char* label;
    };
    const Choice choices[] = {
        {YesButton, QMessageBox::Yes, "&Sì"},
        {NoAnswerButton, QMessageBox::No, "&No"},
        {OkButton, QMessageBox::Ok, "OK"},
        {CancelButton, QMessageBox::Cancel, "Annulla"},
    };
    for (const Choice& choice : choices) {
        if (buttons.testFlag(choice.answer))
            box.addButton(choice.qtButton)->setText(QString::fromUtf8(choice.label));
    }
    if (buttons == NoButton)
        box.addButton(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.exec();
    QAbstractButton* pressed = box.clickedButton();
    for (const Choice& choice : choices) {
        if (pressed && box.standardButton(pressed) == choice.qtButton)
            return choice.answer;
    }
    // Closed without a button: the safest answer offered.
    if (buttons.testFlag(CancelButton))
        return CancelButton;
    if (buttons.testFlag(NoAnswerButton))
        return NoAnswerButton;
    return OkButton;
}

QString WidgetDialogService::openFileName(const QString& caption, const QString& folder,
                                          const QString& filter)
{
    return QFileDialog::getOpenFileName(dialogParent(), caption, folder, filter);
}

QString WidgetDialogService::saveFileName(const QString& caption, const QString& folder,
                                          const QString& filter)
{
    // The caller asks before an existing file is replaced, through this service.
    return QFileDialog::getSaveFileName(dialogParent(), caption, folder, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

bool WidgetDialogService::chooseFont(QFont& font, const QString& caption, int maxPointSize)
{
    // Qt's own dialog, whatever the desktop offers instead: its size list and
    // field are the ones limited here.
    QFontDialog dialog(dialogParent());
    dialog.setOptions(QFontDialog::DontUseNativeDialog | QFontDialog::ScalableFonts);
    dialog.setWindowTitle(caption);
    limitSizes(dialog, maxPointSize);
    dialog.setCurrentFont(font);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    font = dialog.selectedFont();
    return true;
}

bool WidgetDialogService::setupPrinter(QPrinter& printer, const QString& caption)
{
    QPrintDialog dialog(&printer, dialogParent());
    dialog.setWindowTitle(caption);
    return dialog.exec() == QDialog::Accepted;
}
