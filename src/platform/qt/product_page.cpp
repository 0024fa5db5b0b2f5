#include "platform/qt/product_page.h"

#include <QDir>
#include <QFileInfo>

namespace tq::qt {

std::optional<QUrl> product_page_url(const QString& address, const QString& program_dir) {
  const QUrl url(address);
  if (!url.scheme().isEmpty()) return url;
  const QDir dir(program_dir);
  for (const QString& candidate :
       {dir.filePath("../share/tonquill/" + address), dir.filePath(address)}) {
    const QFileInfo page(candidate);
    if (page.isFile()) return QUrl::fromLocalFile(page.canonicalFilePath());
  }
  return std::nullopt;
}

}  // namespace tq::qt
