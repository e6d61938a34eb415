#include "ui/CharMapTab.h"

#include <QVBoxLayout>

#include "monitor/QuernelCore.h"
#include "ui/NamedTableBox.h"
#include "ui/TableNames.h"

namespace quernel {

TCharMapTab::TCharMapTab(TQuernelCore& core, QWidget* parent) : QWidget(parent), core_(core) {
    setObjectName("tsCharMap");
    name_ = new TNamedTableBox({"cbPrzemapowanie", "btSaveCharMap", "Nazwa przemapowania:"}, this);
    name_->listNames() = [this] { return core_.ListCharMaps(); };
    name_->nameChanged = [this](const std::string& name) { ChangeCharMapName(core_, name); };
    name_->save = [this] {
        // Saving writes the active map under the name in the box.
        core_.SetCharMapEditMode(true);
        core_.SaveCharMap();
    };
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name_);
    layout->addStretch();
}

void TCharMapTab::Refresh() {
    name_->ShowName(core_.CharMapName());
}

}  // namespace quernel
