#include <gtest/gtest.h>

#include <QProcess>
#include <QXmlStreamReader>
#include <set>

#include "app/PlanExport.h"
#include "core/Errors.h"
#include "tests/Surveys.h"
#include "tests/WindowFixture.h"

namespace {

// The level survey with twelve points around P0, 3 to 9 m away.
struct PlanExport : WindowFixture {
  void SetUp() override {
    WindowFixture::SetUp();
    static_cast<SolverState&>(S()) = LevelSurvey();
    std::vector<PointRec> points;
    for (int i = 0; i < 12; ++i) {
      PointRec p;
      p.Hor0 = 30.0 * i + 7;
      p.Vert0 = -5;
      p.Dist0 = 3 + (i % 7);
      points.push_back(p);
    }
    S().Points.Assign(points);
  }

  QByteArray Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString();
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
  }
};

TEST_F(PlanExport, TheSvgParsesAndHoldsEveryLabel) {
  const QByteArray svg = PlanSvg(form->Commands(), {200, QPageSize::A4, QPageLayout::Portrait},
                                 {QStringLiteral("/tmp/Platz.txt"), QDate(2024, 5, 17)});
  QXmlStreamReader xml(svg);
  std::multiset<QString> texts;
  while (!xml.atEnd()) {
    if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QStringLiteral("text")) {
      texts.insert(xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed());
    }
  }
  ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  for (int i = 0; i < 12; ++i) EXPECT_EQ(texts.count(QStringLiteral(".%1").arg(i)), 1u) << i;
  for (const char* name : {"P0", "P1", "P2", "+Y", "Projekt: Platz.txt", "Datum: 17.05.2024"}) {
    EXPECT_EQ(texts.count(QString::fromUtf8(name)), 1u) << name;
  }
}

TEST_F(PlanExport, ThePdfsScaleBarMeasuresTrue) {
  const struct {
    PlanPaper paper;
    QSize page;  // at 100 dpi
    const char* bar;
    double barMm;
  } cases[] = {
      {{100, QPageSize::A4, QPageLayout::Portrait}, {827, 1169}, "5m", 50},
      {{500, QPageSize::A3, QPageLayout::Landscape}, {1654, 1169}, "20m", 40},
  };
  for (const auto& c : cases) {
    const QString pdf =
        WriteFile(QStringLiteral("plan.pdf"), PlanPdf(form->Commands(), c.paper, {}));
    // pdftotext leaves out spaces narrower than it expects.
    const QString text =
        QString::fromUtf8(Run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}))
            .remove(QLatin1Char(' '));
    EXPECT_TRUE(text.contains(QString::fromUtf8(c.bar))) << c.paper.scale;
    EXPECT_TRUE(text.contains(QStringLiteral("Grundriss1:%1").arg(c.paper.scale)));
    Run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-gray"),
         QStringLiteral("-singlefile"), pdf, dir.filePath(QStringLiteral("page"))});
    const QImage page(dir.filePath(QStringLiteral("page.pgm")));
    ASSERT_NEAR(page.width(), c.page.width(), 1) << c.paper.scale;
    ASSERT_NEAR(page.height(), c.page.height(), 1) << c.paper.scale;
    // The bar is the longest run of black on the page.
    int longest = 0;
    for (int y = 0; y < page.height(); ++y) {
      int run = 0;
      for (int x = 0; x < page.width(); ++x) {
        run = qGray(page.pixel(x, y)) < 80 ? run + 1 : 0;
        longest = std::max(longest, run);
      }
    }
    EXPECT_NEAR(longest, c.barMm / 25.4 * 100, 1.5) << c.paper.scale;
  }
}

TEST_F(PlanExport, TheMenuAsksForScaleAndPaperAndTheSuffixDecides) {
  const struct {
    std::optional<std::vector<int>> choice;  // scale, paper, orientation
    const char* file;
    const char* starts;  // the file's first bytes, or nothing when none is written
    const char* error;
  } cases[] = {
      {std::vector{1, 0, 0}, "plan.pdf", "%PDF", nullptr},
      {std::vector{2, 1, 1}, "plan.svg", "<?xml", nullptr},
      {std::vector{0, 0, 0}, "plan.pdf", nullptr,
       "Der Grundriss passt im Maßstab 1:50 nicht auf A4 hoch"},
      {std::vector{2, 0, 0}, "plan.png", nullptr, kMsgPlanSuffix},
      {std::nullopt, "plan.pdf", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    const QString path = dir.filePath(QString::fromUtf8(c.file));
    QFile::remove(path);
    platform.errors.clear();
    platform.fileDialogs.clear();
    platform.choiceAnswers = {c.choice};
    platform.fileAnswers = {path};
    Widget<QAction>("GrundrissSpeichern1")->trigger();
    EXPECT_EQ(platform.fileDialogs.size(), c.choice ? 1u : 0u) << c.file;
    if (c.error) {
      ASSERT_EQ(platform.errors.size(), 1u) << c.file;
      EXPECT_TRUE(platform.errors[0].startsWith(QString::fromUtf8(c.error)))
          << platform.errors[0].toStdString();
    } else {
      EXPECT_TRUE(platform.errors.empty()) << c.file;
    }
    EXPECT_EQ(QFile::exists(path), c.starts != nullptr) << c.file;
    if (c.starts) {
      QFile file(path);
      ASSERT_TRUE(file.open(QIODevice::ReadOnly));
      EXPECT_TRUE(file.readAll().startsWith(c.starts)) << c.file;
    }
  }
  // The dialog offers what it was asked for last.
  ASSERT_FALSE(platform.choiceDialogs.empty());
  EXPECT_EQ(platform.choiceDialogs.back()[0].options.join(QLatin1Char(' ')),
            QStringLiteral("1:50 1:100 1:200 1:500"));
  EXPECT_EQ(platform.choiceDialogs.back()[0].chosen, 2);
}

}  // namespace
