#include "app/QtPlatform.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QCursor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kAppTitle = QStringLiteral("Torbel");

QWidget* DialogParent() {
  return QApplication::activeWindow();
}

bool ExecuteFileDialog(FileDialog& dialog, QFileDialog::AcceptMode mode) {
  QFileDialog box(DialogParent(), dialog.Title);
  // Qt's own dialog: the same on every desktop, and readable through accessibility.
  box.setOption(QFileDialog::DontUseNativeDialog);
  // An existing file is replaced without a question: the save writes a new file and puts it in
  // place only when complete, so nothing is lost by not asking.
  box.setOption(QFileDialog::DontConfirmOverwrite);
  box.setAcceptMode(mode);
  // A typed name of a file that does not exist is accepted, as the commands expect.
  box.setFileMode(QFileDialog::AnyFile);
  box.setNameFilters(QtNameFilters(dialog.Filter));
  QString suffix = dialog.DefaultExt;
  suffix.remove(QStringLiteral("*.")).remove(QLatin1Char('.'));
  box.setDefaultSuffix(suffix);
  if (!dialog.FileName.isEmpty()) {
    const QFileInfo info(dialog.FileName);
    box.setDirectory(info.absolutePath());
    box.selectFile(info.fileName());
  }
  if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return false;
  dialog.FileName = box.selectedFiles().constFirst();
  return true;
}

QString ButtonText(Platform::Button b) {
  switch (b) {
    case Platform::Button::Yes:
      return QStringLiteral("&Ja");
    case Platform::Button::No:
      return QStringLiteral("&Nein");
    case Platform::Button::Ok:
      return QStringLiteral("OK");
    case Platform::Button::Cancel:
      return QStringLiteral("Abbrechen");
    case Platform::Button::Retry:
      return QStringLiteral("&Wiederholen");
    case Platform::Button::Ignore:
      return QStringLiteral("&Ignorieren");
    case Platform::Button::All:
      return QStringLiteral("&Alle");
    case Platform::Button::None:
      break;
  }
  return {};
}

}  // namespace

QStringList QtNameFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    filters << parts[i] + QStringLiteral(" (") + parts[i + 1].split(QLatin1Char(';')).join(' ') +
                   QLatin1Char(')');
  }
  if (filters.isEmpty()) filters << filter;
  return filters;
}

namespace {

// An input box with its texts shown as they are: a "<" in a prompt or an answer is no markup.
void PrepareInputBox(QInputDialog& box, const QString& caption, const QString& prompt,
                     const QString& defaultText) {
  box.setWindowTitle(caption);
  box.setLabelText(prompt);
  for (QLabel* label : box.findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
  box.setTextValue(defaultText);
}

}  // namespace

std::optional<QString> QtPlatform::InputBox(const QString& caption, const QString& prompt,
                                            const QString& defaultText) {
  QInputDialog box(DialogParent());
  PrepareInputBox(box, caption, prompt, defaultText);
  if (box.exec() != QDialog::Accepted) return std::nullopt;
  return box.textValue();
}

std::optional<QString> QtPlatform::InputQuery(const QString& caption, const QString& prompt,
                                              const QString& defaultText) {
  QInputDialog box(DialogParent());
  PrepareInputBox(box, caption, prompt, defaultText);
  // The box selects its text when it opens; the next key would replace the digit typed already.
  QTimer::singleShot(0, &box, [&box] {
    if (auto* edit = box.findChild<QLineEdit*>()) {
      edit->deselect();
      edit->end(false);
    }
  });
  if (box.exec() != QDialog::Accepted) return std::nullopt;
  return box.textValue();
}

bool QtPlatform::ExecuteOpenDialog(FileDialog& dialog) {
  return ExecuteFileDialog(dialog, QFileDialog::AcceptOpen);
}

bool QtPlatform::ExecuteSaveDialog(FileDialog& dialog) {
  return ExecuteFileDialog(dialog, QFileDialog::AcceptSave);
}

bool QtPlatform::ExecuteChoiceDialog(const QString& title, std::vector<Choice>& choices) {
  QDialog box(DialogParent());
  box.setWindowTitle(title);
  auto* form = new QFormLayout(&box);
  std::vector<QComboBox*> lists;
  for (const Choice& choice : choices) {
    auto* list = new QComboBox(&box);
    list->addItems(choice.options);
    list->setCurrentIndex(choice.chosen);
    auto* label = new QLabel(choice.label, &box);
    label->setBuddy(list);
    form->addRow(label, list);
    lists.push_back(list);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &box);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
  form->addRow(buttons);
  if (box.exec() != QDialog::Accepted) return false;
  for (std::size_t i = 0; i < choices.size(); ++i) choices[i].chosen = lists[i]->currentIndex();
  return true;
}

void QtPlatform::ShowMessage(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, kAppTitle, text, QMessageBox::Ok, DialogParent());
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

Platform::Button QtPlatform::InformationBox(const QString& text, const std::vector<Button>& buttons,
                                            Button defaultButton, Button escapeButton) {
  QMessageBox box(QMessageBox::Information, QStringLiteral("Informationen"), text,
                  QMessageBox::NoButton, DialogParent());
  box.setTextFormat(Qt::PlainText);
  std::vector<std::pair<QPushButton*, Button>> made;
  for (Button b : buttons) {
    QPushButton* button = box.addButton(ButtonText(b), QMessageBox::ActionRole);
    made.emplace_back(button, b);
    if (b == defaultButton) box.setDefaultButton(button);
    if (b == escapeButton) box.setEscapeButton(button);
  }
  box.exec();
  for (const auto& [button, b] : made) {
    if (box.clickedButton() == button) return b;
  }
  return escapeButton;
}

void QtPlatform::ErrorBox(const QString& text) {
  QMessageBox box(QMessageBox::Critical, kAppTitle, text, QMessageBox::Ok, DialogParent());
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool QtPlatform::ShowAdjustment(const QString& title, const QString& reportText) {
  QDialog box(DialogParent());
  box.setWindowTitle(title);
  auto* layout = new QVBoxLayout(&box);
  auto* text = new QPlainTextEdit(reportText, &box);
  text->setObjectName(QStringLiteral("Bericht"));
  text->setAccessibleName(QStringLiteral("Bericht"));
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  // The columns of before, after and deviation line up.
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text->setMinimumSize(560, 420);
  layout->addWidget(text);
  auto* buttons = new QDialogButtonBox(&box);
  QPushButton* take =
      buttons->addButton(QStringLiteral("Übernehmen"), QDialogButtonBox::AcceptRole);
  QPushButton* cancel =
      buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
  take->setAccessibleName(take->text());
  cancel->setAccessibleName(cancel->text());
  // Enter alone does not change the survey.
  cancel->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
  layout->addWidget(buttons);
  return box.exec() == QDialog::Accepted;
}

void QtPlatform::WithProgress(const QString& title,
                              const std::function<void(const Progress&)>& work) {
  QProgressDialog box(DialogParent());
  box.setWindowTitle(title);
  box.setWindowModality(Qt::WindowModal);
  box.setCancelButtonText(QStringLiteral("Abbrechen"));
  box.setRange(0, 100);
  box.setMinimumDuration(0);
  box.setAutoClose(false);
  box.setAutoReset(false);
  box.show();
  // The work runs here, between the events it lets through: each stage it tells repaints the
  // box and lets "Abbrechen" be pressed.
  work([&box](const QString& stage, int percent) {
    box.setLabelText(stage);
    box.setValue(percent);
    QCoreApplication::processEvents();
    return !box.wasCanceled();
  });
}

void QtPlatform::MovePointer(int dx, int dy) {
  QCursor::setPos(QCursor::pos() + QPoint(dx, dy));
}

void QtPlatform::SetClipboardText(const QString& text) {
  QGuiApplication::clipboard()->setText(text);
}

QtPlatform::QtPlatform() = default;
QtPlatform::~QtPlatform() = default;

bool QtPlatform::StartProgram(const QString& file, const QString& workingDirectory) {
  program_ = std::make_unique<QProcess>();
  program_->setWorkingDirectory(workingDirectory);
  program_->setProgram(file);
  program_->start();
  return program_->waitForStarted();
}

void QtPlatform::WaitForProgram() {
  if (!program_ || program_->state() == QProcess::NotRunning) return;
  // On X11 the clipboard's owner hands its text out on request: a thread blocked in a plain
  // wait would hand out nothing. So the window keeps answering such requests, and repainting,
  // while every click and key waits.
  QEventLoop loop;
  QObject::connect(program_.get(), &QProcess::finished, &loop, &QEventLoop::quit);
  QObject::connect(program_.get(), &QProcess::errorOccurred, &loop, &QEventLoop::quit);
  if (program_->state() != QProcess::NotRunning) loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool QtPlatform::StartDetached(const QString& program, const QStringList& arguments) {
  return QProcess::startDetached(program, arguments);
}

QString QtPlatform::ExeDir() {
  return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}

QString QtPlatform::ExeFile() {
  return QCoreApplication::applicationFilePath();
}

void QtPlatform::SetBusy(bool busy) {
  if (busy) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  } else {
    QGuiApplication::restoreOverrideCursor();
  }
}

QString QtPlatform::ConfigDir() {
  // The base directory rules: $XDG_CONFIG_HOME where it is an absolute path (a relative one is
  // ignored), else ~/.config.
  const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
  const QString folder = QDir::isAbsolutePath(xdg) ? xdg : QDir::homePath() + "/.config";
  return QDir::cleanPath(folder) + QLatin1Char('/');
}

bool QtPlatform::FolderTakesNewFiles(const QString& folder) {
  QTemporaryFile probe(folder + QStringLiteral("/.torbel-XXXXXX"));
  return probe.open();
}
