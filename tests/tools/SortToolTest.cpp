// The sort tool in the running program: its table filled from the main window's file
// list of pictures tagged by exiftool, the order by each column against exiftool's
// values sorted here with the header's mark, "Close and Use" writing the order back (kept
// by a folder view), and the filling stopped by closing the window or the program.
#include <clocale>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "ShotgraphTestSupport.h"
#include "ToolWindowFixture.h"
#include "controls/QzFileExplorer28.h"
#include "controls/ZqButton.h"
#include "controls/ZqSpeedButton.h"
#include "core/Unit1.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/GuiTesting.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/SysUtils.h"
#include "tools/SortUnit.h"

namespace fs = std::filesystem;
using shots::Shot;

namespace {

std::vector<std::string> RowFiles(TSortForm* form) {
  std::vector<std::string> files;
  for (int i = 0; i < form->ListView1->Items()->Count(); ++i)
    files.push_back(TSortForm::CellText(form->ListView1->Items()->Item(i), 1));
  return files;
}

}  // namespace

class SortToolTest : public ToolWindowTest {
 protected:
  void SetUp() override {
    ToolWindowTest::SetUp();
    folder_ = Pictures() + "sort";
  }

  // Lists the pictures of the folder by bare name, as the folder view does.
  void ListFolder(const std::vector<std::string>& names) {
    Form1->FLastPath = folder_ + "/";
    ListPictures(names);
  }

  std::string folder_;
};

TEST_F(SortToolTest, EachColumnSortsAsExiftoolsValuesSortAndCloseAndUseWritesTheOrderBack) {
  KIVO2_REQUIRE_TOOL("exiftool");
  static const locale_t english = newlocale(LC_COLLATE_MASK, "en_US.UTF-8", locale_t(0));  // "Canon", "casio"
  if (!english) GTEST_SKIP() << "no locale en_US.UTF-8 to collate texts with (scripts/setup.sh makes it)";
  auto shot = [](const std::string& name, const std::string& make, const std::string& model, const char* iso,
                 const char* focal, const char* f35, const char* t, const char* f, const char* date) {
    Shot s{name, {"-Make=" + make, "-Model=" + model, std::string("-ISO=") + iso,
                  std::string("-FocalLength=") + focal, std::string("-ExposureTime=") + t,
                  std::string("-FNumber=") + f, std::string("-DateTimeOriginal=") + date,
                  "-ExifImageWidth=4000", "-ExifImageHeight=3000"}};  // sizes of an original, not of these
    if (*f35) s.tags.push_back(std::string("-FocalLengthIn35mmFormat=") + f35);
    return s;
  };
  const std::vector<Shot> pictures = {
      shot("p1.jpg", "Pentax", "K-5", "800", "35", "52", "15", "8", "2020:01:05 10:00:00"),
      shot("p2.jpg", "Canon", "EOS 5D", "100", "105.5", "", "2", "2.8", "2019:06:01 08:30:00"),
      shot("p3.jpg", "Nikon", "D700", "3200", "24", "24", "1/250", "11", "2021:12:24 18:00:00"),
      shot("p4.jpg", "casio", "QV-3000EX", "200", "9", "", "1/60", "4", "2018:03:15 12:00:00"),
      shot("p5.jpg", "Olympus", "E-M1", "1600", "12", "24", "0.5", "5.6", "2022:07:04 07:07:07"),
      shot("p6.jpg", "Fujifilm", "X-T2", "400", "56", "84", "1/4000", "1.4", "2017:11:11 11:11:11"),
      Shot{"p7.jpg", {}}};
  shots::WriteShots(folder_, pictures, true);
  std::vector<std::string> names;
  for (const Shot& s : pictures) names.push_back(s.name);
  ListFolder(names);
  const auto values = shots::ExiftoolValues(
      folder_, {"Make", "Model", "ISO", "FocalLength", "FocalLengthIn35mmFormat", "ExposureTime", "FNumber",
                "DateTimeOriginal", "FileSize", "ImageWidth", "ImageHeight"});
  auto value = [&](const std::string& file, const std::string& tag) { return values.at(folder_ + "/" + file).at(tag); };
  auto number = [&](const std::string& file, const std::string& tag) {
    const std::string v = value(file, tag);
    return v.empty() ? 0.0 : std::stod(v);
  };
  // Column -> how exiftool's value of a row orders it; text columns only among the files
  // that have the value.
  struct Key {
    int column;
    std::string tag;
    bool numeric;
  };
  const std::vector<Key> keys = {{2, "DateTimeOriginal", false}, {5, "FileSize", true},    {7, "Make", false},
                                 {8, "Model", false},            {9, "ISO", true},          {10, "FocalLength", true},
                                 {11, "FocalLengthIn35mmFormat", true}, {12, "ExposureTime", true},
                                 {13, "FNumber", true}};
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest& request) {
    auto* form = static_cast<TSortForm*>(request.form);
    EXPECT_EQ(form->ListView1->Items()->Count(), 7);
    EXPECT_EQ(form->ListView1->SortMarkColumn(), -1);
    for (const Key& key : keys) {
      for (int click = 0; click < 2; ++click) {
        form->ListView1ColumnClick(nullptr, form->ListView1->Columns()->Items(key.column));
        EXPECT_EQ(form->FSortDirection, click);
        EXPECT_EQ(form->ListView1->SortMarkColumn(), key.column);
        const std::vector<std::string> files = RowFiles(form);
        for (size_t i = 1; i < files.size(); ++i) {
          const std::string a = files[i - 1], b = files[i];
          if (key.numeric) {
            double x = number(a, key.tag), y = number(b, key.tag);
            if (key.tag == "FileSize") x = std::floor(x / 1024), y = std::floor(y / 1024);
            if (click == 0)
              EXPECT_LE(x, y) << "column " << key.column << ": " << a << " before " << b;
            else
              EXPECT_GE(x, y) << "column " << key.column << " descending: " << a << " before " << b;
          } else if (!value(a, key.tag).empty() && !value(b, key.tag).empty()) {
            const int order = strcoll_l(value(a, key.tag).c_str(), value(b, key.tag).c_str(), english);
            EXPECT_TRUE(click == 0 ? order <= 0 : order >= 0) << "column " << key.column << ": " << a << " before " << b;
          }
        }
      }
    }
    // A file without Exif data has its placeholders; a file with a make and a model but
    // no 35 mm value and no lens-list line has 0 there.
    for (int i = 0; i < form->ListView1->Items()->Count(); ++i) {
      TListItem* row = form->ListView1->Items()->Item(i);
      const std::string file = TSortForm::CellText(row, 1);
      EXPECT_EQ(TSortForm::CellText(row, 0), folder_);
      if (file == "p7.jpg") {
        EXPECT_EQ(TSortForm::CellText(row, 2), "-");
        EXPECT_EQ(TSortForm::CellText(row, 3), "n/a");
        EXPECT_EQ(TSortForm::CellText(row, 9), "0");
        EXPECT_EQ(TSortForm::CellText(row, 12), "0");
      } else {
        EXPECT_EQ(TSortForm::CellText(row, 3), "yes");
        EXPECT_EQ(TSortForm::CellText(row, 2), value(file, "DateTimeOriginal"));
        EXPECT_EQ(TSortForm::CellText(row, 7), value(file, "Make"));
        // The picture's own size, from its frame header.
        EXPECT_EQ(TSortForm::CellText(row, 6), value(file, "ImageWidth") + " x " + value(file, "ImageHeight"));
      }
      if (file == "p2.jpg") {
        EXPECT_EQ(TSortForm::CellText(row, 11), "0");
      }
    }
    // Sorted by ISO and used: the file list takes that order.
    form->ListView1ColumnClick(nullptr, form->ListView1->Columns()->Items(9));
    form->ZqBCloseAndUse->Click();
    return mrNone;
  });
  // Through the main window's command in a folder view: the list keeps the chosen order
  // (and shows its first picture) after the window has closed.
  Form1->QzDirTree211->SetVisible(true);
  Form1->Sorttool1Click(nullptr);
  GuiTesting::ProcessEvents();
  EXPECT_EQ(Form1->ListBox1->Items()->ToVector(),
            (std::vector<std::string>{"p7.jpg", "p2.jpg", "p4.jpg", "p6.jpg", "p1.jpg", "p5.jpg", "p3.jpg"}));
  EXPECT_EQ(Form1->FCurrentFile, folder_ + "/p7.jpg");

  // Two selected rows: only they are written back, in the table's order, as full paths
  // where the list is no folder view.
  ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest& request) {
    auto* form = static_cast<TSortForm*>(request.form);
    // A new opening: no column marked, and the column sorted last starts ascending again.
    EXPECT_EQ(form->ListView1->SortMarkColumn(), -1);
    form->ListView1ColumnClick(nullptr, form->ListView1->Columns()->Items(9));
    EXPECT_EQ(form->FSortDirection, 0);
    form->ListView1ColumnClick(nullptr, form->ListView1->Columns()->Items(12));
    for (int i = 0; i < form->ListView1->Items()->Count(); ++i) {
      TListItem* row = form->ListView1->Items()->Item(i);
      const std::string file = TSortForm::CellText(row, 1);
      row->SetSelected(file == "p1.jpg" || file == "p2.jpg");
    }
    form->ZqBCloseAndUse->Click();
    return mrNone;
  });
  Form1->QzDirTree211->SetVisible(false);
  ListFolder(names);
  EXPECT_EQ(SortForm->ShowModal(), mrOk);
  EXPECT_EQ(Form1->ListBox1->Items()->ToVector(), (std::vector<std::string>{folder_ + "/p2.jpg", folder_ + "/p1.jpg"}));
}

TEST_F(SortToolTest, CellsThatAreNoNumbersNeitherStopNorUpsetASort) {
  SortForm->Show();
  auto row = [&](const std::string& file, const std::string& iso) {
    TListItem* item = SortForm->ListView1->Items()->Add();
    item->SetCaption("/x");
    for (int c = 1; c < 14; ++c) item->SubItems()->Add(c == 1 ? file : (c == 9 ? iso : "0"));
  };
  row("a", "400");
  row("b", "100, 100");
  row("c", "n/a");
  row("d", "25");
  SortForm->ListView1ColumnClick(nullptr, SortForm->ListView1->Columns()->Items(9));
  EXPECT_EQ(RowFiles(SortForm), (std::vector<std::string>{"c", "d", "b", "a"}));
  SortForm->ListView1ColumnClick(nullptr, SortForm->ListView1->Columns()->Items(9));
  EXPECT_EQ(RowFiles(SortForm), (std::vector<std::string>{"a", "b", "d", "c"}));
  SortForm->ListView1->Items()->Clear();
}

class SortToolFillTest : public SortToolTest {
 protected:
  // 250 tagged pictures in the file list: the fill looks at the queue after the 100th.
  void SetUp() override {
    SortToolTest::SetUp();
    if (testsupport::ToolPath("exiftool").empty()) GTEST_SKIP() << "exiftool missing";
    shots::WriteShots(folder_, {{"base.jpg", {"-ISO=200", "-FocalLength=50"}}});
    std::vector<std::string> names;
    for (int i = 0; i < 250; ++i) {
      names.push_back("f" + std::to_string(1000 + i) + ".jpg");
      fs::copy_file(folder_ + "/base.jpg", folder_ + "/" + names.back());
    }
    ListFolder(names);
    timer_ = std::make_unique<TTimer>(nullptr);
    timer_->SetInterval(1);
  }
  void TearDown() override {
    timer_.reset();
    SortToolTest::TearDown();
  }
  std::unique_ptr<TTimer> timer_;
};

// Closing the window while it fills stops the fill with a message and keeps the window; the
// program closing or the close button stops it without a question.
TEST_F(SortToolFillTest, ClosingTheWindowTheProgramOrTheCloseButtonStopsTheFill) {
  for (int way : {0, 1, 2}) {
    SCOPED_TRACE(way);
    timer_->OnTimer = [this, way](TObject*) {
      timer_->SetEnabled(false);
      if (way == 0)
        SortForm->Close();
      else if (way == 1)
        Application->Terminate();
      else
        SortForm->ZqSpeedButton1->Click();
    };
    timer_->SetEnabled(true);
    if (way == 0) ExpectMessage("Action canceled by user, sort list not complete");
    int rows = -1;
    ModalResponder::Expect(ModalKind::ShowModal, [&](ModalRequest& request) {
      auto* form = static_cast<TSortForm*>(request.form);
      rows = form->ListView1->Items()->Count();
      EXPECT_FALSE(form->FFilling);
      return way == 0 ? int(mrCancel) : int(mrNone);
    });
    EXPECT_EQ(SortForm->ShowModal(), mrCancel);
    EXPECT_EQ(rows, 99);
    if (way) {
      EXPECT_EQ(SortForm->ListView1->Items()->Count(), 0);
    }
    Application->ResetTerminated();
  }
}
