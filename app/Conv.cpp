#include "app/Conv.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/BuildSettingsMenu.h"
#include "app/BuildSummaryLine.h"
#include "app/BusyCursor.h"
#include "app/DocumentOpener.h"
#include "app/FileListView.h"
#include "app/FolderDialog.h"
#include "app/ImageLabel.h"
#include "app/LayoutFont.h"
#include "app/MenuBarKeys.h"
#include "app/MessageBox.h"
#include "app/Pictures.h"
#include "app/QtListDialogs.h"
#include "app/ReasonText.h"
#include "app/ScreenFit.h"
#include "app/StatusPanels.h"
#include "app/StopSignal.h"
#include "app/SystemCommand.h"
#include "pyramids/BuildRun.h"
#include "pyramids/ToolCommand.h"
#include "filelist/FileList.h"
#include "filelist/ListCommands.h"
#include "filelist/PathText.h"
#include "platform/ProcessorCount.h"
#include "platform/Program.h"

namespace kelvory {
namespace {

const char kCaption[] = "Генератор пирамид для TIFF";
const char kBuildCaption[] = "Построить";
const char kWaitCaption[] = "Подождите...";
const char kCollectErrorMessage[] = "Произошла какая-то ошибка!..";
// How often a running build is stepped from the window's event loop.
constexpr int kBuildStepMs = 20;
// The list's place, and the height of the build's progress line at its foot.
constexpr QRect kListGeometry(20, 23, 351, 357);
constexpr int kProgressLineHeight = 18;

StatusImage PictureOf(Outcome result) {
  switch (result) {
    case Outcome::Done:
    case Outcome::UpToDate: return StatusDone;
    case Outcome::NotFound: return StatusNotFound;
    case Outcome::Kept:
    case Outcome::Failed:
    case Outcome::Busy:
    case Outcome::Stopped: return StatusFailed;
  }
  return StatusFailed;
}

// The 8-point "Microsoft Sans Serif" the layout was drawn for, or DejaVu Sans in the
// same pixel height: every caption still fits its control.
QFont WindowFont(int pixelSize) { return LayoutFont(QStringLiteral("DejaVu Sans"), pixelSize); }

QPushButton* MakeButton(QWidget* parent, const char* caption, const char* hint, QRect geometry) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setToolTip(QString::fromUtf8(hint));
  button->setGeometry(geometry);
  button->setContextMenuPolicy(Qt::PreventContextMenu);
  return button;
}

}  // namespace

TFConv::TFConv(ConvEnvironment environment, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      FEnvironment(std::move(environment)),
      FFiles(std::make_unique<FileList>()) {
  FDocumentOpener = new DocumentOpener(FEnvironment.documentOpener, this);
  // Told from the event loop: the box never opens inside the opener's own signal.
  connect(FDocumentOpener, &DocumentOpener::Failed, this, &TFConv::ShowOpenFailure, Qt::QueuedConnection);
  connect(FDocumentOpener, &DocumentOpener::Missing, this, &TFConv::ShowDocumentMissing, Qt::QueuedConnection);
  if (!FEnvironment.findTool) FEnvironment.findTool = FindTool;
  if (!FEnvironment.folderDialog) {
    FOwnFolderDialog = std::make_unique<QtFolderDialog>();
    FEnvironment.folderDialog = FOwnFolderDialog.get();
  }
  if (!FEnvironment.listDialogs) {
    FOwnListDialogs = std::make_unique<QtListDialogs>(this);
    FEnvironment.listDialogs = FOwnListDialogs.get();
  }

  setWindowTitle(QString::fromUtf8(kCaption));
  setWindowIcon(PyramidIcon());
  setFont(WindowFont(11));
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setAutoFillBackground(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  // The window takes exactly the size of its menu bar and client area, and keeps it.
  layout->setSizeConstraint(QLayout::SetFixedSize);
  FClient = new QWidget(this);
  FClient->setFixedSize(kClientWidth, kClientHeight);
  layout->addWidget(FClient);
  // A screen too small for the window (high scaling) gets the client area scrolled.
  new ScreenFit(*this, *layout, *FClient);

  CreateControls();
  CreateMenus();
  layout->setMenuBar(MainMenu1);
  CreateStatusBar();
  CreateListMenu();
  CreateBuildProgress();
  FBuildTimer = new QTimer(this);
  FBuildTimer->setInterval(kBuildStepMs);
  connect(FBuildTimer, &QTimer::timeout, this, &TFConv::StepBuild);
  SetTabOrder();
  FormCreate();
  if (FEnvironment.stopSignal != nullptr)
    connect(FEnvironment.stopSignal, &StopSignal::Raised, this, &TFConv::StopSignalled);
}

TFConv::~TFConv() {
  // A build still running ends here: its tools are stopped, its copies removed.
  FBuild.reset();
  // The view works on the list's model: it goes before the list does.
  delete ListView_Files;
}

void TFConv::CreateControls() {
  Button_Build = MakeButton(FClient, "Построить", "Построить пирамиды для отмеченых файлов",
                            QRect(10, 488, 371, 41));
  connect(Button_Build, &QPushButton::clicked, this, &TFConv::Button_BuildClick);

  GroupBox1 = new QGroupBox(QString::fromUtf8(" Файлы для конвертирования "), FClient);
  GroupBox1->setGeometry(10, 5, 371, 478);
  GroupBox1->setContextMenuPolicy(Qt::PreventContextMenu);

  Button_Add = MakeButton(GroupBox1, "Добавить",
                          "Добавить в список файлы, для которых требуется построить пирамиды",
                          QRect(10, 383, 111, 25));
  Button_Delete = MakeButton(GroupBox1, "Удалить", "Удалить выделенный файл из списка",
                             QRect(130, 383, 111, 25));
  Button_Load = MakeButton(GroupBox1, "Загрузить из файла", "Загрузить список из файла",
                           QRect(10, 413, 171, 25));
  Button_Clear = MakeButton(GroupBox1, "Очистить", "Очистить список", QRect(250, 383, 111, 25));
  Button_Save = MakeButton(GroupBox1, "Сохранить в файл", "Сохранить список в файл",
                           QRect(190, 413, 171, 25));
  Button_SelectFolder = MakeButton(GroupBox1, "Папка назначения", "Выбрать папку назначения",
                                   QRect(10, 443, 351, 25));
  connect(Button_Add, &QPushButton::clicked, this, &TFConv::Button_AddClick);
  connect(Button_Delete, &QPushButton::clicked, this, &TFConv::Button_DeleteClick);
  connect(Button_Load, &QPushButton::clicked, this, &TFConv::Button_LoadClick);
  connect(Button_Clear, &QPushButton::clicked, this, &TFConv::Button_ClearClick);
  connect(Button_Save, &QPushButton::clicked, this, &TFConv::Button_SaveClick);
  connect(Button_SelectFolder, &QPushButton::clicked, this, &TFConv::Button_SelectFolderClick);

  // A child of the window, not of the group box: disabling the box during a build must
  // leave the list usable.
  ListView_Files = new FileListView(*FFiles, [this] { return FBuilding; }, FClient);
  ListView_Files->setGeometry(kListGeometry);
  // Taken once the drop is over, so that the file manager is not kept waiting while
  // folders are walked or a message is shown.
  connect(ListView_Files, &FileListView::PathsDropped, this, &TFConv::AddPaths, Qt::QueuedConnection);
  connect(ListView_Files, &FileListView::RowActivated, this, &TFConv::ShowRowOutcome);
  // The Delete key does what the button does, where the button can be pressed.
  connect(ListView_Files, &FileListView::DeleteRequested, this, [this] {
    if (Button_Delete->isEnabled()) Button_DeleteClick();
  });
  connect(FFiles.get(), &FileList::CountersChanged, this, &TFConv::UpdateCounters);
  connect(FFiles.get(), &FileList::SelectionPanelChanged, this,
          [this] { FPanels->SetText(2, QString::fromStdString(FFiles->SelectedPanelText())); });

  auto* banner = new ImageLabel(FClient);
  banner->setPixmap(BannerPicture());
  banner->setGeometry(388, 9, 130, 520);
  banner->setCursor(Qt::PointingHandCursor);
  banner->setToolTip(QString::fromUtf8("Открыть справку Kelvory (kelvory.pdf)"));
  banner->setContextMenuPolicy(Qt::PreventContextMenu);
  connect(banner, &ImageLabel::clicked, this, &TFConv::Image1Click);
  Image1 = banner;
}

void TFConv::CreateMenus() {
  MainMenu1 = new QMenuBar(this);
  MainMenu1->setNativeMenuBar(false);
  // The "?" menu sits at the right end of the bar: it lives in a bar of its own that is
  // the main bar's right corner.
  auto* helpBar = new QMenuBar(MainMenu1);
  helpBar->setNativeMenuBar(false);
  N1 = helpBar->addMenu(QStringLiteral("?"));
  Help1 = N1->addAction(QString::fromUtf8("Помощь"));
  Help1->setShortcut(QKeySequence(Qt::Key_F1));
  Help1->setShortcutContext(Qt::WindowShortcut);
  N1->addSeparator();
  About1 = N1->addAction(QString::fromUtf8("О программе..."));
  MainMenu1->setCornerWidget(helpBar, Qt::TopRightCorner);
  SettingsMenu = new BuildSettingsMenu(FEnvironment.settingsFile, MainMenu1);
  MainMenu1->addMenu(SettingsMenu);
  new MenuBarKeys(*MainMenu1, *helpBar);
  // F1 works wherever the focus is in the window, the menu closed.
  addAction(Help1);
  connect(Help1, &QAction::triggered, this, &TFConv::Help1Click);
  connect(About1, &QAction::triggered, this, &TFConv::About1Click);

  SystemMenu = new QMenu(this);
  SystemMenu->setSeparatorsCollapsible(false);
  SystemMenu->addSeparator();
  QAction* help = SystemMenu->addAction(QString::fromUtf8("Помощь"));
  QAction* about = SystemMenu->addAction(QString::fromUtf8("О программе..."));
  connect(help, &QAction::triggered, this, [] { PostSystemCommand(kSystemCommandHelp); });
  connect(about, &QAction::triggered, this, [] { PostSystemCommand(kSystemCommandAbout); });
  FClient->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(FClient, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { SystemMenu->popup(FClient->mapToGlobal(pos)); });
}

void TFConv::CreateStatusBar() {
  StatusBar = new QStatusBar(FClient);
  StatusBar->setSizeGripEnabled(false);
  StatusBar->setGeometry(0, kClientHeight - 20, kClientWidth, 20);
  // A pixel smaller, so that the counters keep room for numbers of several digits.
  StatusBar->setFont(WindowFont(10));
  FPanels = std::make_unique<StatusPanels>(
      *StatusBar, std::array<QString, StatusPanels::kCount>{QStringLiteral("Varnok Company"),
                                                            QStringLiteral("Файлов в списке: 0"),
                                                            QStringLiteral("Выбрано: 0"), QStringLiteral("Версия 1.5")});
}

void TFConv::SetTabOrder() {
  QWidget* order[] = {Button_Build, Button_Add,   Button_Delete,       Button_Load,
                      Button_Clear, Button_Save,  Button_SelectFolder, ListView_Files};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  Button_Build->setFocus();
}

void TFConv::FormCreate() {
  FFiles->SetSelectedCount(0);
  FHasDestFolder = false;
  FDestFolder.clear();
  QCoreApplication::instance()->installEventFilter(this);
  FBuilding = false;
}

void TFConv::SetAboutBox(QDialog* aboutBox) { FAboutBox = aboutBox; }

QString TFConv::PanelText(int panel) const { return FPanels->Text(panel); }

bool TFConv::eventFilter(QObject* watched, QEvent* event) {
  AppMessage(event);
  if (event->type() == QEvent::KeyPress) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget != nullptr && widget->window() == this)
      return StopKeyDown(static_cast<QKeyEvent*>(event)) || FormKeyDown(static_cast<QKeyEvent*>(event));
  }
  return QWidget::eventFilter(watched, event);
}

void TFConv::AppMessage(QEvent* event) {
  if (event->type() != SystemCommandEvent::EventType()) return;
  const int command = static_cast<SystemCommandEvent*>(event)->Command();
  if (command == kSystemCommandAbout) About1Click();
  if (command == kSystemCommandHelp)
    OpenDocument(QUrl::fromLocalFile(QDir::current().absoluteFilePath("help.pdf")));
}

bool TFConv::FormKeyDown(QKeyEvent* event) {
  if (event->key() != Qt::Key_Escape) return false;
  close();
  return true;
}

void TFConv::closeEvent(QCloseEvent* event) {
  // A build in progress runs to its end; the window closes when it returns.
  if (FBuilding) {
    FCloseRequested = true;
    UpdateBuildProgress();
    event->ignore();
    return;
  }
  event->accept();
}

ListDialogs& TFConv::Dialogs() { return *FEnvironment.listDialogs; }

void TFConv::Button_AddClick() {
  // A name typed in the dialog may be any file's: it is refused as a drop of it is.
  const std::vector<std::string> refused = AddCommand(*FFiles, Dialogs());
  if (refused.empty()) return;
  QStringList paths;
  for (const std::string& path : refused) paths.push_back(PathQString(path));
  ShowNothingToAdd(paths);
}

void TFConv::Button_BuildClick() {
  if (FBuilding) return;
  std::vector<int> rows;
  for (int row = 0; row < FFiles->RowCount(); ++row) {
    if (FFiles->Checked(row)) rows.push_back(row);
  }
  if (rows.empty()) return;
  std::vector<std::string> sources;
  for (const int row : rows) sources.push_back(FFiles->Caption(row));
  FEstimate = WorkEstimate::ForFiles(sources);
  EnterBuilding();
  const std::string tool = FEnvironment.findTool(ProgramFolder());
  if (tool.empty()) {
    ShowToolMissing();
    LeaveBuilding();
    return;
  }
  BuildRequest request;
  for (std::string& source : sources) request.Rows.push_back({std::move(source), FHasDestFolder ? FDestFolder : std::string(), {}});
  request.ToolPath = tool;
  request.Slots = SlotCount();
  request.Cores = platform::ProcessorCount();
  request.Options = Options();
  FBuildRows = std::move(rows);
  FBuild = std::make_unique<BuildRun>(std::move(request), *this);
  // The build is stepped from whatever event loop runs, a dialog's too, so it goes on
  // under any box; the handler returns once it is over.
  FBuildTimer->start();
  QEventLoop loop;
  FBuildLoop = &loop;
  StepBuild();
  if (FBuild) loop.exec();
  FBuildLoop = nullptr;
  // The end signal may have stopped the build before its event came through.
  if (FCloseRequested || (FEnvironment.stopSignal != nullptr && FEnvironment.stopSignal->Requested())) {
    FCloseRequested = false;
    close();
    QCoreApplication::quit();
  }
}

void TFConv::StepBuild() {
  if (!FBuild || FStepping) return;
  FStepping = true;
  const bool more = FBuild->Step(0);
  FStepping = false;
  if (more) return;
  FBuildTimer->stop();
  const BuildSummary summary = FBuild->Summary();
  FBuild.reset();
  LeaveBuilding(summary);
  if (FBuildLoop != nullptr) FBuildLoop->quit();
}

void TFConv::Button_DeleteClick() {
  DeleteCommand(*FFiles, ListView_Files->SelectedRow());
  // The row after the removed one is not chosen in its place.
  ListView_Files->clearSelection();
}

void TFConv::Button_LoadClick() {
  const std::optional<std::string> listFile = Dialogs().ChooseListToLoad();
  if (!listFile) return;
  // Once the dialog is gone: a list of a million paths takes a moment.
  const BusyCursor busy;
  FFiles->LoadFrom(*listFile);
}

void TFConv::Button_ClearClick() {
  const BusyCursor busy;
  ClearCommand(*FFiles);
}

void TFConv::Button_SaveClick() { SaveCommand(*FFiles, Dialogs()); }

void TFConv::Button_SelectFolderClick() {
  const std::optional<QString> folder = FEnvironment.folderDialog->ChooseFolder(
      this, QString::fromUtf8("Выберите папку назначения"));
  if (!folder) return;
  FDestFolder = PathBytes(*folder);
  FHasDestFolder = !FDestFolder.empty();
  if (FHasDestFolder) Button_SelectFolder->setText(PathQString(FDestFolder));
}

// The project's own page is its help, installed beside the program: it needs no network.
void TFConv::Image1Click() { Help1Click(); }

void TFConv::About1Click() {
  if (FEnvironment.showAbout) {
    FEnvironment.showAbout();
  } else if (FAboutBox) {
    FAboutBox->exec();
  }
}

void TFConv::Help1Click() {
  const std::string program =
      FEnvironment.programPath.empty() ? platform::ProgramPath() : FEnvironment.programPath;
  OpenDocument(HelpPdfUrlForProgram(program));
}

void TFConv::OpenDocument(const QUrl& url) {
  if (FEnvironment.openUrl) {
    FEnvironment.openUrl(url);
  } else {
    FDocumentOpener->Open(url);
  }
}

void TFConv::ShowOpenFailure(const QUrl& url) {
  ShowMessageBox(this, QMessageBox::Warning,
                 QString::fromUtf8("Не удалось открыть справку: программа для просмотра PDF не найдена "
                                   "или завершилась с ошибкой.\n\n") +
                     (url.isLocalFile() ? url.toLocalFile() : url.toString()));
}

void TFConv::ShowDocumentMissing(const QUrl& url) {
  ShowMessageBox(this, QMessageBox::Warning,
                 QString::fromUtf8("Файл справки не найден:\n\n") + QDir::toNativeSeparators(url.toLocalFile()));
}

void TFConv::UpdateCounters() {
  FPanels->SetText(1, QString::fromStdString(FFiles->FilesPanelText()));
  FPanels->SetText(2, QString::fromStdString(FFiles->SelectedPanelText()));
}

void TFConv::RowStarted(int row) {
  FFiles->SetStatus(FBuildRows.at(static_cast<std::size_t>(row)), StatusInProgress);
  FEstimate->RowStarted(row, static_cast<double>(FBuildClock.elapsed()) / 1000.0);
}

void TFConv::RowSettled(const RowReport& report) {
  const int row = FBuildRows.at(static_cast<std::size_t>(report.Row));
  FFiles->SetStatus(row, PictureOf(report.Result));
  FFiles->SetChecked(row, false);
  // Counted out of the selection whatever its check mark was.
  FFiles->SetSelectedCount(FFiles->SelectedCount() - 1);
  FPanels->SetText(2, QString::fromStdString(FFiles->SelectedPanelText()));
  FFiles->SetStopped(row, report.Result == Outcome::Stopped);
  // A row built with a remark says it was built, and then the remark.
  FFiles->SetReason(row, report.Why.Empty() && !report.Note.Empty() ? WindowBuiltNote(report.Note)
                                                                     : WindowReason(report.Why));
  FEstimate->RowSettled(report.Row, static_cast<double>(FBuildClock.elapsed()) / 1000.0);
  UpdateBuildProgress();
  // Shown once this step is over: the build goes on under the box.
  if (report.Why.Code == ReasonCode::Unexpected) {
    QTimer::singleShot(0, this, [this] { ShowMessage(QString::fromUtf8(kCollectErrorMessage)); });
  }
}

bool TFConv::SkipRow(int row) { return !FFiles->Checked(FBuildRows.at(static_cast<std::size_t>(row))); }

void TFConv::EnterBuilding() {
  FBuilding = true;
  FStopAsked = false;
  // The controls about to be locked give the focus to the list, which stays usable.
  if (QWidget* focused = focusWidget(); focused == Button_Build || GroupBox1->isAncestorOf(focused))
    ListView_Files->setFocus();
  Button_Build->setEnabled(false);
  Button_Build->setText(QString::fromUtf8(kWaitCaption));
  GroupBox1->setEnabled(false);
  BuildSummary1->hide();
  FBuildClock.start();
  // The line takes the foot of the list's place, so no row lies under it; a list
  // scrolled to its end stays there, its last row in view.
  QScrollBar* rows = ListView_Files->verticalScrollBar();
  const bool atEnd = rows->value() == rows->maximum();
  ListView_Files->setGeometry(kListGeometry.adjusted(0, 0, 0, -kProgressLineHeight));
  if (atEnd) ListView_Files->scrollToBottom();
  BuildProgressLabel->setGeometry(kListGeometry.left(), ListView_Files->geometry().bottom() + 1, kListGeometry.width(),
                                  kProgressLineHeight);
  UpdateBuildProgress();
  BuildProgressLabel->show();
  BuildBar->show();
  FProgressTimer->start();
  UpdateListActions();
}

void TFConv::LeaveBuilding(const BuildSummary& summary) {
  setWindowTitle(QString::fromUtf8(kCaption));
  FBuilding = false;
  FStopAsked = false;
  Button_Build->setText(QString::fromUtf8(kBuildCaption));
  Button_Build->setEnabled(true);
  GroupBox1->setEnabled(true);
  FProgressTimer->stop();
  BuildProgressLabel->hide();
  // The summary takes the progress line's place; the list keeps the rest.
  BuildSummary1->setGeometry(BuildProgressLabel->geometry());
  if (!BuildSummary1->ShowSummary(summary)) ListView_Files->setGeometry(kListGeometry);
  BuildBar->hide();
  if (focusWidget() == nullptr) ListView_Files->setFocus();
  UpdateListActions();
}

void TFConv::HideBuildSummary() {
  if (FBuilding || BuildSummary1->isHidden()) return;
  BuildSummary1->hide();
  ListView_Files->setGeometry(kListGeometry);
}

void TFConv::ShowToolMissing() {
  // The message names the tool; where it was looked for is told under it.
  const QString bundled = PathQString(BundledToolPath(ProgramFolder()));
  ShowMessageBox(this, QMessageBox::NoIcon,
                 {QString::fromStdString(ToolMissingText()), {},
                  QString::fromUtf8("Искали: %1 и в папках из переменной PATH.").arg(bundled)});
}

void TFConv::ShowMessage(const QString& text) {
  ShowMessageBox(this, QMessageBox::NoIcon, text, false);
}

std::string TFConv::ProgramFolder() const {
  return FEnvironment.programFolder.empty() ? platform::ProgramFolder()
                                            : FEnvironment.programFolder;
}

bool TFConv::StopRequested() {
  return FStopAsked || (FEnvironment.stopSignal != nullptr && FEnvironment.stopSignal->Requested());
}

BuildOptions TFConv::Options() const { return SettingsMenu->Options(); }

void TFConv::StopSignalled() {
  if (FBuilding) {
    // The build sees the request between its steps, and the window closes once the
    // build is over.
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    close();
    return;
  }
  close();
  QCoreApplication::quit();
}

int TFConv::SlotCount() const {
  return FEnvironment.slotCount > 0 ? FEnvironment.slotCount : platform::ProcessorCount();
}

}  // namespace kelvory
