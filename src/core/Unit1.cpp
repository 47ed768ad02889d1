#include "core/Unit1.h"

#include "Kivo2Version.h"
#include "controls/QzFileExplorer28.h"
#include "core/PictureLists.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Menus.h"
#include "platform/graphics/Graphics.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/ScreenSaver.h"

TForm1* Form1 = nullptr;
bool StopRequested = false;
bool ActionRunning = false;
int MouseOverItem = -1;
bool FolderSearchActive = false;

// Each part of the program's version must fit its two decimal places.
static_assert(KIVO2_VERSION_MINOR < 100 && KIVO2_VERSION_PATCH < 100 && KIVO2_VERSION_TWEAK < 100,
              "minor, release and build numbers above 99 would make the build number ambiguous");
static_assert(KIVO2_VERSION_MAJOR >= 1 && KIVO2_VERSION_MAJOR < 2000, "the build number must fit 32 bits");

int32_t EncodeBuildNumber(int major, int minor, int release, int build) {
  return int32_t(major) * 1000000 + minor * 10000 + release * 100 + build;
}

bool SameBuild(int32_t storedVersion, int32_t buildNumber) {
  // Build numbers of this form are at least 1000000; a smaller stored value comes from a
  // build that ran the parts' digits together and is always another (older) build.
  if (storedVersion < 1000000 || buildNumber < 1000000) return false;
  return storedVersion == buildNumber;
}

TForm1::TForm1(TComponent* AOwner) : TForm(AOwner) {
  SetName("Form1");
  SetBounds(0, 0, 1000, 700);
  SetPosition(poScreenCenter);
  FProgramDir = ProgramDir();
  for (auto* list : {&FKnownExtList, &FImageExtList, &FAssociatedList, &FEquivalentList, &FLockedFolders,
                     &FWorkFiles, &FNamesBefore, &FNamesAfter, &FTreeFiles})
    *list = std::make_unique<TStringList>();
  FSourcePicture = std::make_unique<TPicture>();
  FDisplayPicture = std::make_unique<TPicture>();
  FFadeFromPicture = std::make_unique<TPicture>();
  buildLayout();
  buildMenus();
  buildScanner();
  bindEvents();
  bindToolWindows();
  OnCreate = [this](TObject* Sender) { FormCreate(Sender); };
  DoCreate();
}

TForm1::~TForm1() {
  if (Application && Application->OnMessage) Application->OnMessage = nullptr;
  if (Application) Application->OnIdle = nullptr;
  screenSaver_.reset();
}

void TForm1::bindEvents() {
  OnShow = [this](TObject* Sender) { FormShow(Sender); };
  OnPaint = [this](TObject* Sender) { FormPaint(Sender); };
  OnResize = [this](TObject* Sender) { FormResize(Sender); };
  OnClose = [this](TObject* Sender, TCloseAction& Action) { FormClose(Sender, Action); };
  Open1->OnClick = [this](TObject* Sender) { Open1Click(Sender); };
  Close1->OnClick = [this](TObject* Sender) { Close1Click(Sender); };
  M_Types->OnClick = [this](TObject* Sender) { Types1Click(Sender); };
  Quickconfigure1->OnClick = [this](TObject* Sender) { Quickconfigure1Click(Sender); };
  TimerShowIt->OnTimer = [this](TObject* Sender) { TimerShowItTimer(Sender); };
  TimerFirstShow->OnTimer = [this](TObject* Sender) { TimerFirstShowTimer(Sender); };
  SetFilter1->OnClick = [this](TObject* Sender) { SetFilter1Click(Sender); };
  SetFading1->OnClick = [this](TObject* Sender) { SetFading1Click(Sender); };
  QzDirTree211->OnDirChange = [this](TObject* Sender, const std::string& path) { QzDirTree211DirChange(Sender, path); };
  OnKeyDown = [this](TObject* Sender, uint16_t& Key, TShiftState Shift) { FormKeyDown(Sender, Key, Shift); };
  Application->OnIdle = [this](TObject*, bool&) { StatusFollowsView(); };
  ListBox1->OnClick = [this](TObject* Sender) { ListBox1Click(Sender); };
  M_Settings->OnClick = [this](TObject* Sender) { M_SettingsClick(Sender); };
  RunGifImage1->OnClick = [this](TObject* Sender) { RunGifImage1Click(Sender); };
  bindViewerEvents();
  bindToolHandOffs();
  bindDesktopHandOffs();
  Imageinfo1->OnClick = [this](TObject* Sender) { Imageinfo1Click(Sender); };
  Exifinfo1->OnClick = [this](TObject* Sender) { Imageinfo1Click(Sender); };
  M_Exif_info->OnClick = [this](TObject* Sender) { M_Exif_infoClick(Sender); };
  bindOrganiseEvents();
  bindListEvents();
}
