#include "ui/MainWindowFactories.h"

#include <memory>

#include "monitor/QuernelCore.h"
#include "ui/ErrorBox.h"
#include "ui/QN_Start.h"
#include "update/BWUpdate.h"
#include "update/UpdateServer.h"

namespace quernel {

TWindowFactories QuernelWindowFactories() {
    // The error report exists before the main window, which then becomes its boxes' parent.
    auto errorBox = std::make_shared<TErrorBox*>(nullptr);
    TWindowFactories factories;
    factories.errorReport = [errorBox] {
        auto report = std::make_unique<TErrorBox>();
        *errorBox = report.get();
        return report;
    };
    factories.mainWindow = [errorBox](TMainWindowContext& context) {
        TMainWindowHooks hooks;
        hooks.close = &context.close;
        hooks.errorBox = *errorBox;
        // The help window's button leads to the vendor's site only when one is named.
        hooks.vendorSite = UpdateServerAddress();
        auto window = std::make_unique<TqnMain>(context.core, hooks);
        IHistoryView* history = &window->HistoryView();
        return TMainWindowParts{std::move(window), history};
    };
    factories.updateWindow = [](TMainWindowContext& context) -> std::unique_ptr<QObject> {
        TCoreServices& services = context.core.Services();
        return std::make_unique<TfrmBWUpdate>(services.keys, services.clock);
    };
    return factories;
}

}  // namespace quernel
