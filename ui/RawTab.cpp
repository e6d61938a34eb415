#include "ui/RawTab.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/Controls.h"
#include "ui/SettingBinder.h"

namespace quernel {

TRawTab::TRawTab(TSettingBinder& binder, QWidget* parent) : QWidget(parent) {
    setObjectName("tsRAW");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(binder.Check(
        "cbRAWEnable", "Włącz tryb bezpośredni (RAW) - UWAGA: działa tylko z niektórymi drukarkami",
        &AppSettings::RAWEnable));
    auto* edRAWInit = binder.Text("edRAWInit", &AppSettings::RAWInit);
    auto* init = new QGridLayout;
    init->addWidget(Label("Kod inicjujący", edRAWInit), 0, 0);
    init->addWidget(edRAWInit, 0, 1);
    init->addWidget(Label("Dla drukarek HP (PCL) wpisz: #27 E"), 0, 2);
    init->addWidget(Label("Dla drukarek EPSON wpisz: #27 @"), 1, 2);
    init->setColumnStretch(1, 1);
    layout->addLayout(init);
    layout->addWidget(binder.Check("cbRAWFixCRLF", "popraw znaki końca linii (zawsze CR+LF)",
                                   &AppSettings::RAWFixCRLF));
    layout->addWidget(binder.Check("cbRAWEndWithFF", "Zawsze zakończ przez wysunięcie strony (FF)",
                                   &AppSettings::RAWEndWithFF));
    auto* note = new QVBoxLayout;
    note->setSpacing(0);
    note->addWidget(Label(
        "Po włączeniu trybu bezpośredniego ustawienia na zakładce Kody nie mają żadnego wpływu"));
    note->addWidget(
        Label("na postać wydruku. Kody Sterujące z programu DOS muszą być zgodne z drukarką."));
    layout->addLayout(note);
    layout->addWidget(binder.Check("cbRAWcharMap", "Włącz przekodowanie znaków (zakładka Znaki)",
                                   &AppSettings::RAWcharMap));
    layout->addStretch();
}

}  // namespace quernel
