#pragma once
// Where "Visit Varnholt Electronics Website" leads on Linux: a web address
// as it stands, or the program's own page installed with it.

#include <QString>
#include <QUrl>
#include <optional>

namespace tq::qt {

// The URL for `address`: one with a scheme (https:, file:) as it is; a bare
// file name is the page installed with the program, looked for in
// `program_dir`/../share/tonquill (installed) and then in `program_dir`
// itself (the build tree). nullopt for a page that is in neither.
std::optional<QUrl> product_page_url(const QString& address, const QString& program_dir);

}  // namespace tq::qt
