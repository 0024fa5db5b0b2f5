// Where the product page command leads: a web address as it stands, the
// installed page under share/tonquill, the build tree's page beside the
// binary.

#include "platform/qt/product_page.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace tq::qt {
namespace {

void touch(const QString& path) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(ProductPage, FoundWhereTheProgramIsInstalledOrBuilt) {
  QTemporaryDir root;
  ASSERT_TRUE(root.isValid());
  const QString installed = root.filePath("usr/share/tonquill/tonquill.html");
  const QString built = root.filePath("build/tonquill.html");
  touch(installed);
  touch(built);
  touch(root.filePath("usr/bin/tonquill.html"));  // the installed one comes first
  const struct {
    const char* address;
    QString program_dir;
    std::optional<QUrl> url;
  } cases[] = {
      {"https://tonquill.invalid/page?a=1%20b", root.filePath("usr/bin"),
       QUrl("https://tonquill.invalid/page?a=1%20b")},
      {"tonquill.html", root.filePath("usr/bin"),
       QUrl::fromLocalFile(QFileInfo(installed).canonicalFilePath())},
      {"tonquill.html", root.filePath("build"),
       QUrl::fromLocalFile(QFileInfo(built).canonicalFilePath())},
      {"tonquill.html", root.filePath("elsewhere"), std::nullopt},
      {"missing.html", root.filePath("usr/bin"), std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(product_page_url(c.address, c.program_dir), c.url)
        << c.address << " from " << c.program_dir.toStdString();
  }
}

}  // namespace
}  // namespace tq::qt
