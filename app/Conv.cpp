#include "app/Conv.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/BuildSettingsMenu.h"
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
#include "app/WindowBuild.h"
#include "app/WindowText.h"
#include "filelist/FileList.h"
#include "filelist/ListCommands.h"
#include "filelist/PathText.h"
#include "platform/ProcessorCount.h"
#include "platform/Program.h"
#include "pyramids/ToolCommand.h"

namespace kelvory {
namespace {

const char kCaption[] = QT_TRANSLATE_NOOP("Kelvory", "Генератор пирамид для TIFF");
const char kBuildCaption[] = QT_TRANSLATE_NOOP("Kelvory", "Построить");
const char kWaitCaption[] = QT_TRANSLATE_NOOP("Kelvory", "Подождите...");
const char kCollectErrorMessage[] = QT_TRANSLATE_NOOP("Kelvory", "Произошла какая-то ошибка!..");
// The list's place; a build's progress line takes the foot of it.
constexpr QRect kListGeometry(20, 23, 351, 357);

// The 8-point "Microsoft Sans Serif" the layout was drawn for, or DejaVu Sans in the
// same pixel height: every caption still fits its control.
QFont WindowFont(int pixelSize) { return LayoutFont(QStringLiteral("DejaVu Sans"), pixelSize); }

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, const char* hint, QRect geometry) {
  auto* button = new QPushButton(Tr(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(Tr(hint));
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
  SetUpWindow();
  SetTabOrder();
  QCoreApplication::instance()->installEventFilter(this);
  if (FEnvironment.stopSignal != nullptr)
    connect(FEnvironment.stopSignal, &StopSignal::Raised, this, &TFConv::StopSignalled);
}

TFConv::~TFConv() {
  // A build still running ends here, while the list it reports to is still there.
  delete FBuild;
  // The view works on the list's model: it goes before the list does.
  delete ListView_Files;
}

void TFConv::SetUpWindow() {
  setWindowTitle(Tr(kCaption));
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
  FClient->setObjectName(QStringLiteral("ClientArea"));
  FClient->setFixedSize(kClientWidth, kClientHeight);
  layout->addWidget(FClient);
  // A screen too small for the window (high scaling) gets the client area scrolled.
  new ScreenFit(*this, *layout, *FClient);

  CreateControls();
  CreateMenus();
  layout->setMenuBar(MainMenu1);
  CreateStatusBar();
  CreateListMenu();
  FBuild = new WindowBuild(*FFiles, *ListView_Files, kListGeometry, *FClient, FEnvironment.stopSignal, this);
  // Shown once the build's step is over: the build goes on under the box.
  connect(FBuild, &WindowBuild::UnexpectedFailure, this,
          [this] { ShowMessage(Tr(kCollectErrorMessage)); }, Qt::QueuedConnection);
  // Idle again as soon as the build ends, also under a box that is still open.
  connect(FBuild, &WindowBuild::Finished, this, &TFConv::LeaveBuilding);
}

void TFConv::CreateControls() {
  Button_Build =
      MakeButton(FClient, "Button_Build", QT_TRANSLATE_NOOP("Kelvory", "Построить"),
                 QT_TRANSLATE_NOOP("Kelvory", "Построить пирамиды для отмеченых файлов"), QRect(10, 488, 371, 41));
  connect(Button_Build, &QPushButton::clicked, this, &TFConv::Button_BuildClick);
  GroupBox1 = new QGroupBox(QCoreApplication::translate("Kelvory", " Файлы для конвертирования "), FClient);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox1->setGeometry(10, 5, 371, 478);
  GroupBox1->setContextMenuPolicy(Qt::PreventContextMenu);
  CreateButtons();
  CreateList();
  CreateBanner();
}

void TFConv::CreateButtons() {
  Button_Add =
      MakeButton(GroupBox1, "Button_Add", QT_TRANSLATE_NOOP("Kelvory", "Добавить"),
                 QT_TRANSLATE_NOOP("Kelvory", "Добавить в список файлы, для которых требуется построить пирамиды"),
                 QRect(10, 383, 111, 25));
  Button_Delete =
      MakeButton(GroupBox1, "Button_Delete", QT_TRANSLATE_NOOP("Kelvory", "Удалить"),
                 QT_TRANSLATE_NOOP("Kelvory", "Удалить выделенный файл из списка"), QRect(130, 383, 111, 25));
  Button_Load = MakeButton(GroupBox1, "Button_Load", QT_TRANSLATE_NOOP("Kelvory", "Загрузить из файла"),
                           QT_TRANSLATE_NOOP("Kelvory", "Загрузить список из файла"), QRect(10, 413, 171, 25));
  Button_Clear = MakeButton(GroupBox1, "Button_Clear", QT_TRANSLATE_NOOP("Kelvory", "Очистить"),
                            QT_TRANSLATE_NOOP("Kelvory", "Очистить список"), QRect(250, 383, 111, 25));
  Button_Save = MakeButton(GroupBox1, "Button_Save", QT_TRANSLATE_NOOP("Kelvory", "Сохранить в файл"),
                           QT_TRANSLATE_NOOP("Kelvory", "Сохранить список в файл"), QRect(190, 413, 171, 25));
  Button_SelectFolder = MakeButton(GroupBox1, "Button_SelectFolder", QT_TRANSLATE_NOOP("Kelvory", "Папка назначения"),
                                   QT_TRANSLATE_NOOP("Kelvory", "Выбрать папку назначения"), QRect(10, 443, 351, 25));
  connect(Button_Add, &QPushButton::clicked, this, &TFConv::Button_AddClick);
  connect(Button_Delete, &QPushButton::clicked, this, &TFConv::Button_DeleteClick);
  connect(Button_Load, &QPushButton::clicked, this, &TFConv::Button_LoadClick);
  connect(Button_Clear, &QPushButton::clicked, this, &TFConv::Button_ClearClick);
  connect(Button_Save, &QPushButton::clicked, this, &TFConv::Button_SaveClick);
  connect(Button_SelectFolder, &QPushButton::clicked, this, &TFConv::Button_SelectFolderClick);
}

void TFConv::CreateList() {
  // A child of the window, not of the group box: disabling the box during a build must
  // leave the list usable.
  ListView_Files = new FileListView(*FFiles, [this] { return Building(); }, FClient);
  ListView_Files->setObjectName(QStringLiteral("ListView_Files"));
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
}

void TFConv::CreateBanner() {
  auto* banner = new ImageLabel(FClient);
  banner->setObjectName(QStringLiteral("Image1"));
  banner->setPixmap(BannerPicture());
  banner->setGeometry(388, 9, 130, 520);
  banner->setCursor(Qt::PointingHandCursor);
  banner->setToolTip(QCoreApplication::translate("Kelvory", "Открыть справку Kelvory (kelvory.pdf)"));
  banner->setContextMenuPolicy(Qt::PreventContextMenu);
  connect(banner, &ImageLabel::clicked, this, &TFConv::Image1Click);
}

void TFConv::CreateMenus() {
  MainMenu1 = new QMenuBar(this);
  MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
  MainMenu1->setNativeMenuBar(false);
  // The "?" menu sits at the right end of the bar: it lives in a bar of its own that is
  // the main bar's right corner.
  auto* helpBar = new QMenuBar(MainMenu1);
  helpBar->setNativeMenuBar(false);
  QMenu* help = helpBar->addMenu(QStringLiteral("?"));
  help->setObjectName(QStringLiteral("N1"));
  Help1 = help->addAction(QCoreApplication::translate("Kelvory", "Помощь"));
  Help1->setObjectName(QStringLiteral("Help1"));
  Help1->setShortcut(QKeySequence(Qt::Key_F1));
  Help1->setShortcutContext(Qt::WindowShortcut);
  help->addSeparator();
  About1 = help->addAction(QCoreApplication::translate("Kelvory", "О программе..."));
  About1->setObjectName(QStringLiteral("About1"));
  MainMenu1->setCornerWidget(helpBar, Qt::TopRightCorner);
  SettingsMenu = new BuildSettingsMenu(FEnvironment.settingsFile, MainMenu1);
  SettingsMenu->setObjectName(QStringLiteral("SettingsMenu"));
  MainMenu1->addMenu(SettingsMenu);
  new MenuBarKeys(*MainMenu1, *helpBar);
  // F1 works wherever the focus is in the window, the menu closed.
  addAction(Help1);
  connect(Help1, &QAction::triggered, this, &TFConv::Help1Click);
  connect(About1, &QAction::triggered, this, &TFConv::About1Click);
  CreateSystemMenu();
}

void TFConv::CreateSystemMenu() {
  SystemMenu = new QMenu(this);
  SystemMenu->setObjectName(QStringLiteral("SystemMenu"));
  SystemMenu->setSeparatorsCollapsible(false);
  SystemMenu->addSeparator();
  QAction* help = SystemMenu->addAction(QCoreApplication::translate("Kelvory", "Помощь"));
  QAction* about = SystemMenu->addAction(QCoreApplication::translate("Kelvory", "О программе..."));
  connect(help, &QAction::triggered, this, [] { PostSystemCommand(kSystemCommandHelp); });
  connect(about, &QAction::triggered, this, [] { PostSystemCommand(kSystemCommandAbout); });
  FClient->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(FClient, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { SystemMenu->popup(FClient->mapToGlobal(pos)); });
}

void TFConv::CreateStatusBar() {
  StatusBar = new QStatusBar(FClient);
  StatusBar->setObjectName(QStringLiteral("StatusBar"));
  StatusBar->setSizeGripEnabled(false);
  StatusBar->setGeometry(0, kClientHeight - 20, kClientWidth, 20);
  // A pixel smaller, so that the counters keep room for numbers of several digits.
  StatusBar->setFont(WindowFont(10));
  FPanels = std::make_unique<StatusPanels>(
      *StatusBar,
      std::array<QString, StatusPanels::kCount>{QStringLiteral("Varnok Company"),
                                                QCoreApplication::translate("Kelvory", "Файлов в списке: %1").arg(0),
                                                QCoreApplication::translate("Kelvory", "Выбрано: %1").arg(0),
                                                QCoreApplication::translate("Kelvory", "Версия 1.5")});
}

void TFConv::SetTabOrder() {
  QWidget* order[] = {Button_Build, Button_Add,   Button_Delete,       Button_Load,
                      Button_Clear, Button_Save,  Button_SelectFolder, ListView_Files};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  Button_Build->setFocus();
}

void TFConv::SetAboutBox(QDialog* aboutBox) { FAboutBox = aboutBox; }

QString TFConv::PanelText(int panel) const { return FPanels->Text(panel); }

bool TFConv::Building() const { return FBuild != nullptr && FBuild->Active(); }

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
  if (Building()) {
    FBuild->AskClose();
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
  if (Building()) return;
  std::vector<int> rows;
  for (int row = 0; row < FFiles->Model().rowCount(); ++row) {
    if (FFiles->Model().Checked(row)) rows.push_back(row);
  }
  if (rows.empty()) return;
  std::vector<std::string> sources;
  for (const int row : rows) sources.emplace_back(FFiles->Model().Caption(row));
  EnterBuilding(std::move(rows), sources);
  std::string tool = FEnvironment.findTool(ProgramFolder());
  if (tool.empty()) {
    ShowToolMissing();
    LeaveBuilding();
    return;
  }
  FBuild->Run(MakeRequest(std::move(sources), std::move(tool)));
  // The end signal may have stopped the build before its event came through.
  const bool signalled = FEnvironment.stopSignal != nullptr && FEnvironment.stopSignal->Requested();
  if (FBuild->TakeCloseRequest() || signalled) {
    close();
    QCoreApplication::quit();
  }
}

BuildRequest TFConv::MakeRequest(std::vector<std::string> sources, std::string tool) const {
  BuildRequest request;
  for (std::string& source : sources) request.Rows.push_back({std::move(source), FDestFolder, {}});
  request.ToolPath = std::move(tool);
  request.Slots = SlotCount();
  request.Cores = platform::ProcessorCount();
  request.Options = SettingsMenu->Options();
  return request;
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
      this, QCoreApplication::translate("Kelvory", "Выберите папку назначения"));
  if (!folder) return;
  FDestFolder = PathBytes(*folder);
  if (!FDestFolder.empty()) Button_SelectFolder->setText(PathQString(FDestFolder));
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
                 QCoreApplication::translate("Kelvory",
                                             "Не удалось открыть справку: программа для просмотра PDF не найдена "
                                             "или завершилась с ошибкой.\n\n") +
                     (url.isLocalFile() ? url.toLocalFile() : url.toString()));
}

void TFConv::ShowDocumentMissing(const QUrl& url) {
  ShowMessageBox(this, QMessageBox::Warning,
                 QCoreApplication::translate("Kelvory", "Файл справки не найден:\n\n") +
                     QDir::toNativeSeparators(url.toLocalFile()));
}

void TFConv::UpdateCounters() {
  FPanels->SetText(1, QString::fromStdString(FFiles->FilesPanelText()));
  FPanels->SetText(2, QString::fromStdString(FFiles->SelectedPanelText()));
}

void TFConv::EnterBuilding(std::vector<int> rows, const std::vector<std::string>& sources) {
  FBuild->Begin(std::move(rows), sources);
  // The controls about to be locked give the focus to the list, which stays usable.
  if (QWidget* focused = focusWidget(); focused == Button_Build || GroupBox1->isAncestorOf(focused))
    ListView_Files->setFocus();
  Button_Build->setEnabled(false);
  Button_Build->setText(Tr(kWaitCaption));
  GroupBox1->setEnabled(false);
  UpdateListActions();
}

void TFConv::LeaveBuilding(const BuildSummary& summary) {
  setWindowTitle(Tr(kCaption));
  FBuild->End(summary);
  Button_Build->setText(Tr(kBuildCaption));
  Button_Build->setEnabled(true);
  GroupBox1->setEnabled(true);
  if (focusWidget() == nullptr) ListView_Files->setFocus();
  UpdateListActions();
}

void TFConv::ShowToolMissing() {
  // The message names the tool; where it was looked for is told under it.
  const QString bundled = PathQString(BundledToolPath(ProgramFolder()));
  ShowMessageBox(this, QMessageBox::NoIcon,
                 {QCoreApplication::translate("Kelvory", "%1 не найден")
                      .arg(QString::fromStdString(platform::ExecutableName("gdaladdo"))),
                  {},
                  QCoreApplication::translate("Kelvory", "Искали: %1 и в папках из переменной PATH.").arg(bundled)});
}

void TFConv::ShowMessage(const QString& text) {
  ShowMessageBox(this, QMessageBox::NoIcon, text, false);
}

std::string TFConv::ProgramFolder() const {
  return FEnvironment.programFolder.empty() ? platform::ProgramFolder()
                                            : FEnvironment.programFolder;
}

void TFConv::StopSignalled() {
  if (Building()) {
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
