// The installed program as a user meets it: started as its desktop entry says, from a program
// folder it may not write to, answered through the X server. TORBEL_INSTALLED names the installed
// tree's prefix (the folder holding bin/ and share/).

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstring>

#include "io/ProjectFile.h"
#include "tests/TestFiles.h"

namespace {

// Asks the window to close as the window manager's close button does.
bool CloseWindow(xcb_window_t window) {
  xcb_connection_t* x = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(x)) return false;
  const auto atom = [x](const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        x, xcb_intern_atom(x, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    free(reply);
    return a;
  };
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = atom("WM_PROTOCOLS");
  event.data.data32[0] = atom("WM_DELETE_WINDOW");
  event.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(x, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
  const bool sent = xcb_flush(x) > 0;
  xcb_disconnect(x);
  return sent;
}

struct Installed : ::testing::Test {
  QString prefix = qEnvironmentVariable("TORBEL_INSTALLED");
  QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
  QTemporaryDir work;      // the user's home and projects
  QTemporaryDir readOnly;  // the installed tree, mounted read-only
  bool mounted = false;
  QString seeded;  // a settings file left beside the program by whoever installed it
  QProcess torbel;

  void SetUp() override {
    ASSERT_FALSE(prefix.isEmpty()) << "TORBEL_INSTALLED names no installed tree";
    if (xdotool.isEmpty() || qEnvironmentVariableIsEmpty("DISPLAY")) {
      GTEST_SKIP() << "needs xdotool and an X server";
    }
    const QByteArray view = QFile::encodeName(readOnly.path());
    mounted = ::mount(QFile::encodeName(prefix).constData(), view.constData(), nullptr, MS_BIND,
                      nullptr) == 0;
    if (!mounted) GTEST_SKIP() << "no read-only mount can be made here (needs root)";
    ASSERT_EQ(
        ::mount(nullptr, view.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);
  }
  void TearDown() override {
    torbel.kill();
    torbel.waitForFinished();
    if (mounted) ::umount2(QFile::encodeName(readOnly.path()).constData(), MNT_DETACH);
    if (!seeded.isEmpty()) QFile::remove(seeded);
  }

  // The program the desktop entry starts, found in the installed tree's bin/.
  QString DesktopProgram() {
    const QSettings entry(readOnly.filePath("share/applications/torbel.desktop"),
                          QSettings::IniFormat);
    const QString exec = entry.value(QStringLiteral("Desktop Entry/Exec")).toString();
    EXPECT_FALSE(exec.isEmpty());
    return QStandardPaths::findExecutable(exec.section(' ', 0, 0), {readOnly.filePath("bin")});
  }

  // One xdotool command; false when it failed or did not end within `ms`.
  bool XdoOnce(const QStringList& arguments, qint64 ms, QString* output = nullptr) {
    QProcess p;
    p.start(xdotool, arguments);
    if (!p.waitForFinished(static_cast<int>(ms))) {
      p.kill();
      p.waitForFinished();
      return false;
    }
    if (output != nullptr) *output = QString::fromLatin1(p.readAllStandardOutput()).trimmed();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  }
  // Each step waits for what it needs; after a failure the rest are skipped, not waited for.
  void Xdo(const QStringList& arguments) {
    if (!HasFailure()) {
      EXPECT_TRUE(XdoOnce(arguments, kWait)) << arguments.join(' ').toStdString();
    }
  }
  void Keys(const QString& keys) { Xdo({QStringLiteral("key"), keys}); }
  void Type(const QString& text) { Xdo({QStringLiteral("type"), text}); }

  // Waits up to `ms` for a visible window of the program whose title matches; its id, or nothing.
  QString Find(const QString& titlePattern, qint64 ms) {
    const QStringList search = {QStringLiteral("search"), QStringLiteral("--all"),
                                QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                QStringLiteral("--pid"),  QString::number(torbel.processId()),
                                QStringLiteral("--name"), titlePattern};
    const QDeadlineTimer deadline(ms);
    QString ids;
    // A search gives up when a window it reads is destroyed meanwhile, as a closing dialog's are.
    while (!XdoOnce(search, deadline.remainingTime(), &ids) && !deadline.hasExpired()) {
    }
    return ids.section(QLatin1Char('\n'), 0, 0);
  }
  // Waits for the window and gives it the keyboard, as a click on it would.
  QString Window(const QString& titlePattern) {
    if (HasFailure()) return {};
    const QString id = Find(titlePattern, kWait);
    EXPECT_FALSE(id.isEmpty()) << "no window " << titlePattern.toStdString();
    Xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), id});
    return id;
  }
  // Closes the main window as the window manager's close button does, and waits for the dialog
  // that the close opens.
  void Close(const QString& mainWindow, const QString& dialogPattern) {
    if (HasFailure()) return;
    const QDeadlineTimer deadline(kWait);
    QString dialog;
    // Qt can lose a close that comes the moment the window is shown, sooner than any click; it
    // is asked again until the dialog shows.
    while (dialog.isEmpty() && !deadline.hasExpired()) {
      EXPECT_TRUE(CloseWindow(static_cast<xcb_window_t>(mainWindow.toULong())));
      dialog = Find(dialogPattern, 1000);
    }
    EXPECT_FALSE(dialog.isEmpty()) << "no window " << dialogPattern.toStdString();
    Xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), dialog});
  }

  void Start(const QString& program) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), work.filePath("home"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath("config"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    torbel.setProcessEnvironment(env);
    torbel.setProcessChannelMode(QProcess::ForwardedChannels);
    torbel.start(program, {});
    EXPECT_TRUE(torbel.waitForStarted(kWait));
  }
  void Ended() {
    if (!torbel.waitForFinished(HasFailure() ? 0 : kWait)) {
      ADD_FAILURE() << "Torbel did not end";
      torbel.kill();
      torbel.waitForFinished();
    }
    EXPECT_EQ(torbel.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(torbel.exitCode(), 0);
  }

  static constexpr int kWait = 60000;  // ms: a bound on a step, for a build with sanitizers
};

const QString kOpenDialog = QStringLiteral("^Koordinaten");
const QString kSaveDialog = QStringLiteral("^(Speichern unter|Save As)$");
QString MainWindowWith(const QString& project) {
  return QStringLiteral("^Molvan Torbel.* - ") + QRegularExpression::escape(project) +
         QLatin1Char('$');
}

TEST_F(Installed, KeepsItsSettingsInTheUsersConfigurationFolder) {
  const QString program = DesktopProgram();
  ASSERT_FALSE(program.isEmpty());
  const QString a = WriteTestFile(QDir(work.path()), QStringLiteral("a.txt"),
                                  ProjectFileBytes(SolverState{}, {}, {}, ','));
  const QString b = work.filePath("b.txt");
  // Whoever installed it left a settings file beside the program: written into the tree, seen
  // through the read-only view.
  const QString folder = QFileInfo(program).canonicalPath();
  seeded = QDir(prefix).filePath(QDir(readOnly.path()).relativeFilePath(folder)) +
           QStringLiteral("/MolvanQuv.ini");
  WriteTestFile(QDir(QFileInfo(seeded).path()), QStringLiteral("MolvanQuv.ini"),
                QFile::encodeName(a) + "\r\n");

  // The first start offers the project named beside the program; the close saves it as b.txt,
  // which the settings in the configuration folder then name.
  Start(program);
  Window(kOpenDialog);
  Keys(QStringLiteral("Return"));
  Close(Window(MainWindowWith(a)), kSaveDialog);
  Keys(QStringLiteral("ctrl+a"));
  Type(b);
  Keys(QStringLiteral("Return"));
  Ended();
  const QString settings = work.filePath("config/torbel/MolvanQuv.ini");
  EXPECT_EQ(ReadTestFile(settings), QFile::encodeName(b) + "\r\n");
  EXPECT_TRUE(QFileInfo::exists(b));

  // The next start offers b.txt; cancelled at the close, the save leaves the settings as they
  // are.
  Start(program);
  Window(kOpenDialog);
  Keys(QStringLiteral("Return"));
  Close(Window(MainWindowWith(b)), kSaveDialog);
  Keys(QStringLiteral("Escape"));
  Ended();
  EXPECT_EQ(ReadTestFile(settings), QFile::encodeName(b) + "\r\n");
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
