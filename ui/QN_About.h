#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

namespace quernel {

// The help window "Brackwood Quernel - Pomoc": a short introduction, the program's version
// and a button that opens the vendor's page in the browser. Not modal; "&Ok" closes it.
class TfrmHelp final : public QDialog {
  public:
    // Starts a program with its arguments in the current folder; errors are ignored.
    using StartProcess = std::function<void(const std::vector<std::string>& argv)>;

    // `vendorSite` is the vendor's site ("https://host"); without one the button is hidden.
    // `start` defaults to a detached process.
    explicit TfrmHelp(std::string vendorSite, QWidget* parent = nullptr, StartProcess start = {});

    // Shows the window centred on the screen, or raises it when it is shown already.
    void ShowHelp();
    // The vendor button: the vendor's page through the desktop's browser command.
    void OpenVendorPage();

    static QString HelpText();
    static QString Version();

  private:
    std::string vendorSite_;
    StartProcess start_;
};

}  // namespace quernel
