// Qt's real boxes, read as a screen reader reads them, and the folders the program is told of.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "app/QtPlatform.h"
#include "core/Errors.h"
#include "core/PathText.h"

namespace {

// Opens a box through `show`, and reads the texts of its labels while it is open.
QStringList LabelsOf(const std::function<void()>& show) {
  QStringList texts;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr) return;
    for (QLabel* label : box->findChildren<QLabel*>()) {
      if (QAccessibleInterface* a = QAccessible::queryAccessibleInterface(label)) {
        texts << a->text(QAccessible::Name);
      }
    }
    box->close();
  });
  show();
  return texts;
}

TEST(QtBoxes, ShowTheirTextsAsTheyAreNotAsMarkup) {
  QtPlatform platform;
  const QString text = QStringLiteral("<b>x.txt</b> <i>1,6</i>");
  const std::function<void()> boxes[] = {
      [&] { platform.ErrorBox(text); },
      [&] { platform.ShowMessage(text); },
      [&] {
        platform.InformationBox(text, {Platform::Button::Ok}, Platform::Button::Ok,
                                Platform::Button::Ok);
      },
      [&] { platform.InputBox(QStringLiteral("Titel"), text, QStringLiteral("0")); },
  };
  for (const auto& box : boxes) {
    const QStringList labels = LabelsOf(box);
    EXPECT_TRUE(labels.contains(text)) << labels.join(QLatin1Char('|')).toStdString();
  }
}

TEST(QtFolders, TheConfigurationFolderFollowsTheBaseDirectoryRules) {
  QtPlatform platform;
  const QByteArray home = qgetenv("HOME"), config = qgetenv("XDG_CONFIG_HOME");
  qputenv("HOME", "/home/vermesser");
  const std::pair<const char*, const char*> cases[] = {
      {nullptr, "/home/vermesser/.config/"},
      {"", "/home/vermesser/.config/"},
      {"/srv/einstellungen/", "/srv/einstellungen/"},
      {"einstellungen", "/home/vermesser/.config/"},  // relative: not to be used
  };
  for (const auto& [xdg, expected] : cases) {
    if (xdg != nullptr) {
      qputenv("XDG_CONFIG_HOME", xdg);
    } else {
      qunsetenv("XDG_CONFIG_HOME");
    }
    EXPECT_EQ(platform.ConfigDir(), QString::fromLatin1(expected)) << (xdg ? xdg : "unset");
  }
  qputenv("HOME", home);
  if (config.isNull()) {
    qunsetenv("XDG_CONFIG_HOME");
  } else {
    qputenv("XDG_CONFIG_HOME", config);
  }
}

TEST(QtFolders, AFolderTakesNewFilesWhereAFileCanReallyBeMade) {
  QtPlatform platform;
  const QTemporaryDir writable, closed;
  EXPECT_TRUE(platform.FolderTakesNewFiles(writable.path()));
  EXPECT_TRUE(
      QDir(writable.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
  EXPECT_FALSE(platform.FolderTakesNewFiles(writable.filePath("fehlt")));
  // Permissions do not bind root, a read-only mount binds everyone.
  const QByteArray view = QFile::encodeName(closed.path());
  if (::geteuid() == 0) {
    ASSERT_EQ(::mount(QFile::encodeName(writable.path()).constData(), view.constData(), nullptr,
                      MS_BIND, nullptr),
              0);
    ASSERT_EQ(
        ::mount(nullptr, view.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);
    EXPECT_FALSE(platform.FolderTakesNewFiles(closed.path()));
    ::umount2(view.constData(), MNT_DETACH);
  } else {
    QFile::setPermissions(closed.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(platform.FolderTakesNewFiles(closed.path()));
    QFile::setPermissions(closed.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }
}

}  // namespace

namespace {

// The settings file may name a project whose name is no UTF-8; the open dialog proposes it, and
// confirming it must name that file, not one with replacement characters.
TEST(QtDialogs, AProposedNameThatIsNoUtf8ComesBackAsItWas) {
  const QTemporaryDir dir;
  const QByteArray name = QFile::encodeName(dir.path()) + "/Vermessung \xE4lt.txt";
  const int fd = ::open(name.constData(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ::close(fd);
  QtPlatform platform;
  FileDialog dialog{QStringLiteral("Koordinaten &laden.."),
                    QStringLiteral("Textdateien [*.txt)|*.txt"), QStringLiteral("*.txt"),
                    PathFromBytes(name)};
  QTimer::singleShot(0, [] {
    if (auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()))
      QMetaObject::invokeMethod(box, "accept");
  });
  ASSERT_TRUE(platform.ExecuteOpenDialog(dialog));
  EXPECT_EQ(PathBytes(dialog.FileName), name);
  ::unlink(name.constData());
}

TEST(QtDialogs, ThePanoramaDialogOffersEveryKindFirstAndTheBitmapStill) {
  QtPlatform platform;
  FileDialog dialog{QStringLiteral("Vermessungspano 1 laden"),
                    QString::fromUtf8(kPanoramaFilter),
                    QStringLiteral("*.bmp"),
                    {}};
  QStringList shown;
  QTimer::singleShot(0, [&shown] {
    if (auto* box = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      shown = box->nameFilters();
      QMetaObject::invokeMethod(box, "reject");
    }
  });
  EXPECT_FALSE(platform.ExecuteOpenDialog(dialog));
  ASSERT_EQ(shown.size(), 5);
  EXPECT_EQ(shown.first(), QStringLiteral("Panoramabilder (JPEG, PNG, TIFF, Windows Bitmap) "
                                          "(*.jpg *.jpeg *.png *.tif *.tiff *.bmp)"));
  EXPECT_EQ(shown.last(), QStringLiteral("Windows Bitmap [*.bmp] (*.bmp)"));
}

}  // namespace
