#include "engine/PclCommand.h"

// What PCL commands are called in --explain.

namespace quernel::pcl {

std::string_view PartName(const TPclCommand& c) {
    const char p = c.parameterised, g = c.group, k = c.parameter;
    if (p == '&' && g == 'l') {
        switch (k) {
            case 'O':
                return "Orientacja";
            case 'D':
                return "Linii na cal";
            case 'C':
                return "Odstęp linii (VMI)";
            case 'P':
                return "Długość strony";
            case 'F':
                return "Długość tekstu";
            case 'E':
                return "Górny margines";
            case 'L':
                return "Pomijanie perforacji";
            case 'A':
                return "Rozmiar papieru";
            case 'H':
                return "Podajnik papieru";
            case 'X':
                return "Liczba kopii";
            case 'S':
                return "Druk dwustronny";
            case 'M':
                return "Rodzaj nośnika";
            case 'G':
                return "Odbiornik wydruków";
            case 'U':
            case 'Z':
                return "Przesunięcie strony";
            default:
                break;
        }
    } else if (p == '&' && g == 'a') {
        switch (k) {
            case 'C':
                return "Kolumna";
            case 'R':
                return "Wiersz";
            case 'H':
                return "Pozycja pozioma (decypunkty)";
            case 'V':
                return "Pozycja pionowa (decypunkty)";
            case 'L':
                return "Lewy margines";
            case 'M':
                return "Prawy margines";
            case 'P':
                return "Kierunek druku";
            default:
                break;
        }
    } else if (p == '&' && g == 'k') {
        switch (k) {
            case 'H':
                return "Odstęp znaków (HMI)";
            case 'S':
                return "Gęstość znaków";
            case 'G':
                return "Zakończenia linii";
            default:
                break;
        }
    } else if (p == '&' && g == 'd') {
        return k == '@' ? "Bez podkreślenia" : "Podkreślenie";
    } else if (p == '&' && g == 'p' && k == 'X') {
        return "Dane przezroczyste";
    } else if (p == '&' && g == 'f') {
        return k == 'S' ? "Zapamiętanie lub odtworzenie pozycji" : "Makro";
    } else if (p == '&' && g == 'u') {
        return "Jednostka miary";
    } else if (p == '&' && g == 's') {
        return "Zawijanie linii";
    } else if (p == '*' && g == 'p') {
        return k == 'X' ? "Pozycja pozioma" : k == 'Y' ? "Pozycja pionowa" : "Punkt odniesienia";
    } else if (p == '*' && g == 't') {
        return "Rozdzielczość grafiki rastrowej";
    } else if (p == '*' && g == 'r') {
        switch (k) {
            case 'A':
                return "Początek grafiki rastrowej";
            case 'B':
            case 'C':
                return "Koniec grafiki rastrowej";
            case 'S':
                return "Szerokość grafiki rastrowej";
            case 'T':
                return "Wysokość grafiki rastrowej";
            case 'F':
                return "Układ grafiki rastrowej";
            default:
                break;
        }
    } else if (p == '*' && g == 'b') {
        switch (k) {
            case 'M':
                return "Kompresja grafiki rastrowej";
            case 'W':
                return "Grafika rastrowa: wiersz";
            case 'Y':
                return "Grafika rastrowa: przesunięcie";
            case 'V':
                return "Grafika rastrowa: płaszczyzna";
            default:
                break;
        }
    } else if (p == '*' && g == 'c') {
        switch (k) {
            case 'A':
            case 'H':
                return "Szerokość prostokąta";
            case 'B':
            case 'V':
                return "Wysokość prostokąta";
            case 'P':
                return "Wypełnienie prostokąta";
            case 'G':
                return "Wzór lub szarość";
            case 'W':
                return "Definicja wzoru";
            default:
                return "Czcionki i wzory";
        }
    } else if (p == '*' && (g == 'v' || g == 'l' || g == 'm' || g == 'i')) {
        return "Kolor";
    } else if (p == '(' || p == ')') {
        const bool primary = p == '(';
        if (g == 's') {
            switch (k) {
                case 'P':
                    return primary ? "Odstępy znaków" : "Czcionka dodatkowa: odstępy znaków";
                case 'H':
                    return primary ? "Gęstość (znaki na cal)" : "Czcionka dodatkowa: gęstość";
                case 'V':
                    return primary ? "Wysokość czcionki" : "Czcionka dodatkowa: wysokość";
                case 'S':
                    return primary ? "Styl" : "Czcionka dodatkowa: styl";
                case 'B':
                    return primary ? "Grubość" : "Czcionka dodatkowa: grubość";
                case 'T':
                    return primary ? "Krój pisma" : "Czcionka dodatkowa: krój pisma";
                case 'W':
                    return "Dane czcionki";
                default:
                    break;
            }
        } else if (g == 'f' && k == 'W') {
            return "Definicja zestawu symboli";
        } else if (g == 0) {
            return k == 'X'   ? "Czcionka (numer)"
                   : k == '@' ? "Czcionka domyślna"
                              : "Zestaw symboli";
        }
    } else if (p == '%') {
        switch (k) {
            case 'X':
                return "Wyjście uniwersalne (UEL)";
            case 'B':
                return "Grafika HP-GL/2";
            case 'A':
                return "Powrót do PCL";
            default:
                break;
        }
    } else if (k == 0) {
        switch (p) {
            case 'E':
                return "Reset";
            case '9':
                return "Usunięcie marginesów";
            case '=':
                return "Pół linii w dół";
            case 'Y':
                return "Funkcje wyświetlania włączone";
            case 'Z':
                return "Funkcje wyświetlania wyłączone";
            case 'z':
                return "Test drukarki";
            default:
                break;
        }
    }
    return "Polecenie PCL";
}

}  // namespace quernel::pcl
