#pragma once

#include <QApplication>
#include <QObject>
#include <QtTest>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>

#include "support/CoreParts.h"
#include "support/QtTestEnvironment.h"
#include "ui/QN_Start.h"
#include "ui/WindowDialogs.h"

namespace quernel::test {

// The window's dialogs answered from queues (an empty queue is a cancel); the monitoring
// ones come from a ScriptedDialogs.
class ScriptedWindowDialogs final : public IWindowDialogs {
  public:
    explicit ScriptedWindowDialogs(ScriptedDialogs& script) : script_(script) {}
    std::optional<std::string> ChooseFile() override { return script_.ChooseFile(); }
    std::optional<TFolderChoice> ChooseFolder() override { return script_.ChooseFolder(); }
    std::optional<int> ChooseStartPage(int lastPage) override {
        return script_.ChooseStartPage(lastPage);
    }
    std::optional<int> ChoosePrinter(const std::vector<std::string>& choices) override {
        return script_.ChoosePrinter(choices);
    }
    std::optional<std::string> ChoosePicture() override {
        if (pictures.empty()) return std::nullopt;
        std::string next = pictures.front();
        pictures.pop_front();
        return next;
    }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::optional<std::string> ChoosePdfFolder(const std::string& current) override {
        shownPdfFolders.push_back(current);
        if (pdfFolders.empty()) return std::nullopt;
        std::string next = pdfFolders.front();
        pdfFolders.pop_front();
        return next;
    }
    void OpenFolder(const std::string& folder) override { openedFolders.push_back(folder); }
    std::deque<std::string> pictures;
    std::vector<std::string> messages;
    std::deque<std::string> pdfFolders;
    std::vector<std::string> shownPdfFolders;
    std::vector<std::string> openedFolders;

  private:
    ScriptedDialogs& script_;
};

// The child of the window with this object name; throws (failing the test) when missing.
template <typename T>
T* Find(const QObject& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromUtf8(name));
    if (child == nullptr) throw std::runtime_error(std::string("no child named ") + name);
    return child;
}

// Runs the start-up sequence the program runs around its main window.
inline void StartWindow(TQuernelCore& core, TbwLog& history, TqnMain& window) {
    history.Add("Ustawienia domyślne");
    core.Printers().FillPrinterList();
    core.LoadSettings();
    core.Monitoring().SetActive(true);
    window.ShowAtStart();
}

// The main of a GUI test program: Qt offscreen with a private home, then the test object.
template <typename Test>
int RunGuiTest(int argc, char** argv) {
    TempDir root;
    UsePrivateQtEnvironment(root);
    QApplication app(argc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace quernel::test
