#include "song/ImportTexts.h"

namespace kadrel {

namespace {

const char* RefusalText(SmfRefusal reason) {
    switch (reason) {
    case SmfRefusal::NoHeader:
        return "Le fichier ne commence pas par un en-tête MThd";
    case SmfRefusal::HeaderCutShort:
        return "L'en-tête MThd est incomplet";
    case SmfRefusal::HeaderTooShort:
        return "La longueur de l'en-tête est inférieure à 6";
    case SmfRefusal::ZeroDivision:
        return "La division du temps vaut 0";
    case SmfRefusal::DataByteWithoutStatus:
        return "Un octet de données se trouve là où un octet de statut est attendu";
    case SmfRefusal::SystemStatusInTrack:
        return "Un octet de statut système (F1 à FE) se trouve dans un track";
    case SmfRefusal::QuantityTooLong:
        return "Un délai ou une longueur occupe plus de quatre octets";
    }
    return "Le format n'est pas reconnu";
}

} // namespace

std::string GroupedNumber(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += ' ';
        text += digits[i];
    }
    return text;
}

std::string ImportRefusalText(SmfRefusal reason, std::size_t offset) {
    return std::string("Le fichier n'a pas pu être importé.\n") + RefusalText(reason) +
           " (position " + std::to_string(offset) + " dans le fichier).";
}

std::string Counted(std::uint64_t count, const char* singular, const char* plural) {
    return GroupedNumber(count) + " " + (count > 1 ? plural : singular);
}

std::string ImportSummaryText(std::size_t rows, std::size_t notes,
                              const std::vector<SmfDrop>& unread) {
    std::string text = "Importé : " + Counted(rows, "track", "tracks") + ", " +
                       Counted(notes, "note", "notes") + ".";
    if (unread.empty())
        return text;
    text += unread.size() > 1 ? "\nNon lus :" : "\nNon lu :";
    // A damaged file can have thousands: the first ones say what and where.
    constexpr std::size_t Shown = 10;
    for (std::size_t i = 0; i < unread.size() && i < Shown; ++i) {
        const SmfDrop& drop = unread[i];
        text += drop.Kind == SmfDropKind::CutShort
                    ? "\nun événement coupé par la fin de son bloc"
                    : "\nun message interrompu par un octet de statut";
        text += " (track " + std::to_string(drop.Track) + ", position " +
                std::to_string(drop.Offset) + " dans le fichier)";
    }
    if (unread.size() > Shown)
        text += "\net " + Counted(unread.size() - Shown, "autre", "autres");
    return text;
}

} // namespace kadrel
