#include "qt_main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "qt_fonts.h"
#include "qt_picture.h"
#include "qt_progress_dialog.h"

namespace qv::qt {
namespace {

QString Text(const char* utf8) {
  return QString::fromUtf8(utf8);
}

QPushButton* Button(QWidget* parent, const char* name, const char* text, QRect bounds) {
  auto* button = new QPushButton(Text(text), parent);
  button->setObjectName(name);
  button->setGeometry(bounds);
  button->setFont(DesignFont(true));
  return button;
}

QGroupBox* Step(QWidget* parent, const char* name, const char* title, QRect bounds) {
  auto* box = new QGroupBox(Text(title), parent);
  box->setObjectName(name);
  box->setGeometry(bounds);
  box->setFont(DesignFont(true));
  return box;
}

void Label(QWidget* parent, const char* name, const char* text, QRect bounds) {
  auto* label = new QLabel(Text(text), parent);
  label->setObjectName(name);
  label->setGeometry(bounds);
  label->setFont(DesignFont());
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setWordWrap(true);
}

// "Description|pattern" as Qt writes a filter: "Description (pattern)", unless the description
// names its patterns already.
QString QtFilter(const std::string& filter) {
  QString text = QString::fromStdString(filter);
  QString description = text.section('|', 0, 0);
  QString pattern = text.section('|', 1, 1);
  if (pattern.isEmpty() || description.contains('(')) return description;
  return description + " (" + pattern + ")";
}

}  // namespace

QtMainWindow::QtMainWindow()
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
  setObjectName("MainForm");
  setFixedSize(810, 249);
  setFont(DesignFont());

  cbAuto = new QCheckBox(Text("Искать МК автоматически"), this);
  cbAuto->setObjectName("cbAuto");
  cbAuto->setGeometry(8, 8, 265, 17);
  cbAuto->setFont(DesignFont(true));
  cbAuto->setVisible(false);
  // The Cyrillic С, О and М of "СОМ", as the button has always read.
  bRS232 = Button(this, "bRS232", "Выбрать СОМ-порт", {8, 32, 393, 25});

  QGroupBox* step1 = Step(this, "GroupBox1", "Шаг 1", {8, 72, 393, 121});
  Label(step1, "Label2",
        "Для последующего восстановления настроек, сделанных пользователем в текущей версии, "
        "или для переноса текущих настроек в более новые версии считайте текущие настройки МК.",
        {40, 16, 313, 57});
  bGetParams = Button(step1, "bGetParams", "Считать настройки из МК", {8, 80, 377, 25});

  QGroupBox* step2 = Step(this, "GroupBox2", "Шаг 2", {408, 8, 393, 89});
  Label(step2, "Label3", "Загрузите новую прошивку в МК.", {40, 16, 313, 25});
  bLoadProg = Button(step2, "bLoadProg", "Загрузить прошивку", {8, 48, 377, 25});

  QGroupBox* step3 = Step(this, "GroupBox4", "Шаг 3", {408, 112, 393, 81});
  Label(step3, "Label1", "Запишите ранее сохраненные настройки в МК", {40, 16, 313, 25});
  bSetParams = Button(step3, "bSetParams", "Записать настройки в МК", {8, 40, 377, 25});

  Memo = new QPlainTextEdit(this);
  Memo->setObjectName("Memo");
  Memo->setGeometry(552, 176, 57, 17);
  Memo->setVisible(false);
  auto* picture = new QtPicture(this);
  picture->setObjectName("Image1");
  picture->setGeometry(560, 200, 240, 40);

  connect(bRS232, &QPushButton::clicked, this, [this] { Handle(&TMainForm::bRS232Click); });
  connect(bGetParams, &QPushButton::clicked, this, [this] { Handle(&TMainForm::bGetParamsClick); });
  connect(bLoadProg, &QPushButton::clicked, this, [this] { Handle(&TMainForm::bLoadProgClick); });
  connect(bSetParams, &QPushButton::clicked, this, [this] { Handle(&TMainForm::bSetParamsClick); });
  connect(cbAuto, &QCheckBox::clicked, this, [this](bool checked) {
    if (form_) form_->Run([&] { form_->cbAutoClick(checked); });
  });
}

void QtMainWindow::Handle(void (TMainForm::*handler)()) {
  TMainForm* form = form_;
  if (form) form->Run([form, handler] { (form->*handler)(); });
}

int QtMainWindow::Box(const MessageBox& box) {
  if (message_hook_) return message_hook_(box);
  QMessageBox dialog(box.kind == "ask"    ? QMessageBox::Question
                     : box.kind == "info" ? QMessageBox::Information
                                          : QMessageBox::Critical,
                     QString::fromStdString(box.caption), QString::fromStdString(box.text),
                     QMessageBox::NoButton, this);
  // Above the progress dialog, which stays on top of the other windows.
  dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
  if (box.kind == "ask") {
    dialog.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    dialog.setDefaultButton(QMessageBox::Yes);
    dialog.setEscapeButton(QMessageBox::No);
  } else {
    dialog.setStandardButtons(QMessageBox::Ok);
  }
  int pressed = dialog.exec();
  return pressed == QMessageBox::Yes ? Messages::kYes : Messages::kNo;
}

void QtMainWindow::ShowError(const std::string& text) {
  Box({"error", "Error", text});
}
void QtMainWindow::ShowInfo(const std::string& text) {
  Box({"info", "Information", text});
}
int QtMainWindow::AskYesNo(const std::string& text) {
  return Box({"ask", "Confirm", text});
}

void QtMainWindow::ShowApplicationError(const std::string& caption, const std::string& text) {
  Box({"application", caption, text});
}

int QtMainWindow::WindowState() const {
  Qt::WindowStates state = windowState();
  if (state & Qt::WindowMinimized) return 1;
  if (state & Qt::WindowMaximized) return 2;
  return 0;
}

void QtMainWindow::SetWindowState(int state) {
  setWindowState(state == 1   ? Qt::WindowMinimized
                 : state == 2 ? Qt::WindowMaximized
                              : Qt::WindowNoState);
}

void QtMainWindow::SetWidth(int value) {
  resize(value - (frameGeometry().width() - width()), height());
}

void QtMainWindow::SetHeight(int value) {
  resize(width(), value - (frameGeometry().height() - height()));
}

void QtMainWindow::SetCaption(const std::string& text) {
  setWindowTitle(QString::fromStdString(text));
}

void QtMainWindow::SetAutoChecked(bool checked) {
  // Set without the click signal: the presenter has already done what the click would do.
  cbAuto->setChecked(checked);
}

void QtMainWindow::SetRS232Enabled(bool enabled) {
  bRS232->setEnabled(enabled);
}

void QtMainWindow::SetJobButtonsEnabled(bool enabled) {
  for (QPushButton* button : {bGetParams, bLoadProg, bSetParams})
    button->setEnabled(enabled);
}

void QtMainWindow::SetMemoLines(const std::vector<std::string>& lines) {
  QStringList text;
  for (const auto& line : lines)
    text << QString::fromStdString(line);
  Memo->setPlainText(text.join('\n'));
}

std::optional<std::filesystem::path> QtMainWindow::ChooseFile(const TOpenDialogSpec& dialog) {
  if (file_hook_) return file_hook_(dialog);
  QString chosen = QFileDialog::getOpenFileName(
      this, QString(), QString::fromStdString(dialog.initial_dir.string()), QtFilter(dialog.filter),
      nullptr, QFileDialog::ReadOnly);
  if (chosen.isEmpty()) return std::nullopt;
  return std::filesystem::path(chosen.toStdString());
}

std::unique_ptr<TProgressFormView> QtMainWindow::CreateProgressView() {
  return std::make_unique<QtProgressDialog>(this);
}

void QtMainWindow::ProcessMessages() {
  QCoreApplication::processEvents();
}

void QtMainWindow::CentreOnScreen() {
  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect frame = frameGeometry();
  move(screen->availableGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2));
}

void QtMainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_once_ || !form_) return;
  shown_once_ = true;
  // Centred first as well, so that a message of the start-up sequence (shown over this window)
  // is centred on the screen too.
  CentreOnScreen();
  form_->Run([this] { form_->FormShow(); });
  // The window opens centred: the restored Left and Top give way to the centring.
  CentreOnScreen();
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
  if (form_ && !form_->CanClose()) {
    event->ignore();
    return;
  }
  // The settings are written; an error is reported and the window closes all the same, so that
  // a folder that cannot be written never keeps the program from ending.
  if (form_) form_->Run([this] { form_->FormClose(); });
  event->accept();
}

}  // namespace qv::qt
