#pragma once

#include <string>

namespace quernel {

enum class TNoticeKind { kInformation, kWarning, kError };

// Tells the user of something that happened while nobody looks at the window: a desktop
// notification through the tray. A program without a tray or a display has none.
class INotifier {
  public:
    virtual ~INotifier() = default;
    virtual void Notify(TNoticeKind kind, const std::string& title, const std::string& text) = 0;
};

// "1 strona", "2 strony", "5 stron", "22 strony".
std::string PagesText(int pages);

}  // namespace quernel
