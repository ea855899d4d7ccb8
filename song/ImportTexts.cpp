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

// A count and its noun, singular for 0 and 1 as French has it.
std::string Counted(std::uint64_t count, const char* singular, const char* plural) {
    return GroupedNumber(count) + " " + (count > 1 ? plural : singular);
}

struct KindNouns {
    DroppedKind kind;
    const char* singular;
    const char* plural;
};

constexpr KindNouns Kinds[] = {
    {DroppedKind::Controllers, "contrôleur", "contrôleurs"},
    {DroppedKind::PitchBends, "pitch bend", "pitch bends"},
    {DroppedKind::KeyPressures, "pression polyphonique", "pressions polyphoniques"},
    {DroppedKind::ChannelPressures, "pression de canal", "pressions de canal"},
    {DroppedKind::SysEx, "message système exclusif", "messages système exclusif"},
    {DroppedKind::ProgramChanges, "changement de programme", "changements de programme"},
    {DroppedKind::TempoChanges, "changement de tempo", "changements de tempo"},
    {DroppedKind::MetaEvents, "méta-événement", "méta-événements"},
};

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

std::string ImportSummaryText(std::size_t rows, std::size_t notes, const DroppedCounts& dropped) {
    std::string text = "Importé : " + Counted(rows, "track", "tracks") + ", " +
                       Counted(notes, "note", "notes") + ".";
    if (!dropped.Any())
        return text;
    text += "\nNon conservés :";
    for (const KindNouns& k : Kinds)
        if (dropped[k.kind] != 0)
            text += "\n" + Counted(dropped[k.kind], k.singular, k.plural);
    return text;
}

} // namespace kadrel
