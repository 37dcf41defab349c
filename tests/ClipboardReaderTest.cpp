#include <gtest/gtest.h>

#include <QClipboard>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>
#include <csignal>
#include <future>

#include "companion/ClipboardReader.h"
#include "companion/LantrexWindow.h"

namespace {

using namespace std::chrono_literals;

TEST(ClipboardReader, TakesWhatTheOwnerHandsOutUpToTheLimitAndWaitsNoLonger) {
  if (QGuiApplication::platformName() != QStringLiteral("xcb")) GTEST_SKIP() << "needs X";
  const QByteArray point("7:123.46 -2.30 15.00\r\n"), none,
      small = point.repeated(3), medium = point.repeated(100000), large = point.repeated(900000),
      huge(65 << 20, 'x');
  constexpr std::size_t kMiB = 1 << 20, kAll = kClipboardLimit;
  using enum ClipboardTrouble;
  // kQt: this process, serving from its event loop; kStopped: xclip, stopped once it owns.
  enum Owner { kQt, kXclip, kStopped, kNobody };
  // Qt sends more than 16 MB in chunks and announces the size; xclip sends chunks of 1 MB from
  // 1 MB on and announces nothing.
  const struct {
    Owner owner;
    const QByteArray& text;
    std::size_t limit;
    ClipboardTrouble trouble;
    std::size_t mostReceived;  // bytes taken from the owner
    const char* label;
  } cases[] = {
      {kQt, small, kAll, None, kAll, "Nächster Punkt: 7"},
      {kXclip, small, kAll, None, kAll, "Nächster Punkt: 7"},
      {kQt, medium, kMiB, TooLarge, 0, "Die Zwischenablage ist zu groß"},  // on its size
      {kQt, large, kAll, None, kAll, "Nächster Punkt: 7"},
      {kQt, large, kMiB, TooLarge, 0, "Die Zwischenablage ist zu groß"},  // on the announced size
      {kXclip, large, kAll, None, kAll, "Nächster Punkt: 7"},
      {kXclip, large, kMiB, TooLarge, kMiB, "Die Zwischenablage ist zu groß"},  // in the middle
      {kXclip, huge, kAll, TooLarge, kAll, "Die Zwischenablage ist zu groß"},
      {kStopped, small, kAll, NoAnswer, 0, "Die Zwischenablage antwortet nicht"},
      {kNobody, none, kAll, None, 0, "Die Zwischenablage enthält keine"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "owner " << c.owner << ", " << c.text.size() << " bytes");
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(c.owner == kQt ? QString::fromUtf8(c.text) : QStringLiteral("-"));
    if (c.owner == kNobody) clipboard->clear();
    QTemporaryFile file;
    QProcess server;
    if (c.owner == kXclip || c.owner == kStopped) {
      ASSERT_TRUE(file.open() && file.write(c.text) == c.text.size() && file.flush());
      server.start(QStringLiteral("xclip"), {"-selection", "clipboard", "-quiet", file.fileName()});
      ASSERT_TRUE(QTest::qWaitFor([&] { return !clipboard->ownsClipboard(); }, 30000));
    }
    if (c.owner == kStopped) ::kill(static_cast<pid_t>(server.processId()), SIGSTOP);
    // Read in another thread while this one serves Qt's clipboard, as Torbel's does.
    std::future<ClipboardText> read = std::async(std::launch::async, ReadX11Clipboard, c.limit,
                                                 c.owner == kStopped ? 200ms : kClipboardPatience);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return read.wait_for(0s) == std::future_status::ready; }, 60000));
    const ClipboardText got = read.get();
    EXPECT_EQ(got.trouble, c.trouble);
    EXPECT_LE(got.received, c.mostReceived);
    EXPECT_TRUE(got.text.toUtf8() == (c.trouble == None ? c.text : ""));
    const QString label = LantrexWindow(got).Next->text();
    EXPECT_TRUE(label.startsWith(QString::fromUtf8(c.label))) << label.toStdString();
    server.kill();
    server.waitForFinished();
  }
}

}  // namespace
