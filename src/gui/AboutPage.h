#pragma once

#include <QWidget>
#include <functional>

class QUrl;

namespace lexicorn::gui {

/// The main window's "About" page: the logo, the version, the links to the home page and to
/// updates, and the release notes.
class AboutPage : public QWidget {
    Q_OBJECT
  public:
    /// `openLink` shows a link's page; the main window reports a link that cannot be shown.
    AboutPage(std::function<void(const QUrl&)> openLink, QWidget* parent = nullptr);
};

}  // namespace lexicorn::gui
