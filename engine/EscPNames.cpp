#include "engine/EscPCommand.h"

// What ESC/P commands are called in --explain.

namespace quernel::escp {

namespace {

std::string_view ExtendedName(std::uint8_t c) {
    switch (c) {
        case 'C':
            return "Długość strony";
        case 'c':
            return "Format strony";
        case 'U':
            return "Jednostka miary";
        case 'V':
            return "Pozycja pionowa bezwzględna";
        case 'v':
            return "Pozycja pionowa względna";
        case '$':
            return "Pozycja pozioma bezwzględna";
        case 'G':
            return "Tryb grafiki";
        case 't':
            return "Przypisanie tablicy znaków";
        case '-':
            return "Linia pod, nad lub przez tekst";
        case '^':
            return "Dane drukowane jako znaki";
        case 'i':
            return "Mikroprzeplot";
        case 'B':
            return "Kod kreskowy";
        default:
            return "Polecenie rozszerzone";
    }
}

std::string_view GraphicsName(int mode) {
    switch (DensityOf(mode).dots) {
        case 24:
            return "Grafika 24-igłowa";
        case 48:
            return "Grafika 48-igłowa";
        default:
            return "Grafika 8-igłowa";
    }
}

// The name of a command without data of its own; empty for commands ESC/P does not have.
std::string_view OneLetterName(std::uint8_t c) {
    switch (c) {
        case ' ':
            return "Odstęp między znakami";
        case '!':
            return "Wybór trybu druku";
        case '#':
            return "Bit 8 bez zmian";
        case '$':
            return "Pozycja pozioma bezwzględna";
        case '%':
            return "Wybór znaków użytkownika";
        case '&':
            return "Definicja znaków użytkownika";
        case '+':
            return "Odstęp linii n/360 cala";
        case '-':
            return "Podkreślenie";
        case '/':
            return "Kanał tabulacji pionowej";
        case '0':
            return "Odstęp linii 1/8 cala";
        case '1':
            return "Odstęp linii 7/72 cala";
        case '2':
            return "Odstęp linii 1/6 cala";
        case '3':
            return "Odstęp linii";
        case '4':
            return "Kursywa";
        case '5':
            return "Bez kursywy";
        case '6':
            return "Górna połowa drukowana";
        case '7':
            return "Górne kody sterujące";
        case '8':
            return "Czujnik papieru wyłączony";
        case '9':
            return "Czujnik papieru włączony";
        case ':':
            return "Kopia znaków ROM";
        case '<':
            return "Druk jednokierunkowy (1 linia)";
        case '=':
            return "Bit 8 zerowany";
        case '>':
            return "Bit 8 ustawiony";
        case '?':
            return "Zmiana trybu grafiki";
        case '@':
            return "Inicjalizacja drukarki";
        case 'A':
            return "Odstęp linii n/72 cala";
        case 'B':
            return "Tabulatory pionowe";
        case 'C':
            return "Długość strony";
        case 'D':
            return "Tabulatory poziome";
        case 'E':
            return "Pogrubienie";
        case 'F':
            return "Bez pogrubienia";
        case 'G':
            return "Podwójne uderzenie";
        case 'H':
            return "Bez podwójnego uderzenia";
        case 'I':
            return "Drukowanie kodów sterujących";
        case 'J':
            return "Przesuw papieru";
        case 'M':
            return "12 znaków/cal (Elite)";
        case 'N':
            return "Pomijanie perforacji";
        case 'O':
            return "Bez pomijania perforacji";
        case 'P':
            return "10 znaków/cal (Pica)";
        case 'Q':
            return "Prawy margines";
        case 'R':
            return "Znaki narodowe";
        case 'S':
            return "Indeks górny lub dolny";
        case 'T':
            return "Bez indeksu";
        case 'U':
            return "Druk jednokierunkowy";
        case 'W':
            return "Podwójna szerokość";
        case 'X':
            return "Wybór czcionki (gęstość i wielkość)";
        case '\\':
            return "Pozycja pozioma względna";
        case 'a':
            return "Wyrównanie";
        case 'b':
            return "Tabulatory pionowe kanału";
        case 'c':
            return "Odstęp znaków (HMI)";
        case 'e':
            return "Stały krok tabulacji";
        case 'f':
            return "Przeskok poziomy lub pionowy";
        case 'g':
            return "15 znaków/cal";
        case 'h':
            return "Powiększenie znaków";
        case 'i':
            return "Druk natychmiastowy";
        case 'j':
            return "Cofnięcie papieru";
        case 'k':
            return "Krój pisma";
        case 'l':
            return "Lewy margines";
        case 'm':
            return "Górne kody sterujące (9-igłowa)";
        case 'p':
            return "Druk proporcjonalny";
        case 'q':
            return "Styl znaków";
        case 'r':
            return "Kolor";
        case 's':
            return "Druk wolny";
        case 't':
            return "Tablica znaków";
        case 'w':
            return "Podwójna wysokość";
        case 'x':
            return "Jakość druku (LQ lub draft)";
        case 0x0E:
            return "Podwójna szerokość (1 linia)";
        case 0x0F:
            return "Zagęszczenie";
        case 0x19:
            return "Podajnik arkuszy";
        default:
            return {};
    }
}

}  // namespace

std::string_view CommandName(const TEscPCommand& cmd,
                             const std::array<std::uint8_t, 4>& densities) {
    if (cmd.key & 0x100) return ExtendedName(static_cast<std::uint8_t>(cmd.key & 0xFF));
    switch (cmd.key) {
        case 'K':
        case 'L':
        case 'Y':
        case 'Z':
            return GraphicsName(densities[static_cast<std::size_t>(DensityIndex(cmd.key))]);
        case '*':
            return GraphicsName(cmd.Arg(0));
        case '^':
            return "Grafika 9-igłowa";
        case '.':
            return "Grafika rastrowa";
        default:
            return OneLetterName(static_cast<std::uint8_t>(cmd.key));
    }
}

}  // namespace quernel::escp
