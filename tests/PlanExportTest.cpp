#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <set>

#include "io/PlanDocument.h"
#include "tests/PlanExportSurvey.h"
#include "tests/TestFiles.h"

namespace {

struct PlanExport : ::testing::Test {
  void SetUp() override { SetPlanExportSurvey(s); }

  QByteArray Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString();
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
  }

  WorkingState s;
  QTemporaryDir dir;
};

TEST_F(PlanExport, TheSvgParsesAndHoldsEveryLabel) {
  const QByteArray svg = PlanSvg(s, {200, QPageSize::A4, QPageLayout::Portrait},
                                 {QStringLiteral("/tmp/Platz.txt"), QDate(2024, 5, 17)}, ',');
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
        WriteTestFile(QDir(dir.path()), QStringLiteral("plan.pdf"), PlanPdf(s, c.paper, {}, ','));
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

}  // namespace
