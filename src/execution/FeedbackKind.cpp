#include "execution/FeedbackKind.h"

namespace {

struct KindText {
    const char* name;
    const char* message;
};

// Indexed by FeedbackKind.
const KindText kinds[] = {
    {"spieEs", ""},
    {"selErr", "Nelle ultime frasi hai commesso un errore notevole. Vuoi tornare indietro di "
               "alcune frasi ?"},
    {"priErr", "Nella prima parte hai commesso troppi errori. Vuoi ripartire dal principio ?"},
    {"priOk", "Stai andando bene, continua così !"},
    {"secErr", "Nella seconda parte hai commesso troppi errori. Vuoi rivedere la seconda parte ?"},
    {"spieEs", "L'esercizio consiste nell'evidenziare le frasi piu' importanti scegliendo il "
               "comando rosso o celeste. Se vuoi correggere, usa il comando bianco"},
    {"giuBuo", "L'esercizio è finito. Sei andato bene, bravo !"},
    {"giuDis", "L'esercizio è finito. Sei andato abbastanza bene, ma puoi migliorare"},
    {"giuNon",
     "L'esercizio è finito. Non sei andato molto bene, la prossima volta stai più attento"},
};

constexpr int kindCount = int(sizeof kinds / sizeof kinds[0]);

const KindText* textOf(FeedbackKind kind)
{
    const int index = static_cast<int>(kind);
    return index >= 0 && index < kindCount ? &kinds[index] : nullptr;
}

} // namespace

QString feedbackKindName(FeedbackKind kind)
{
    const KindText* text = textOf(kind);
    return text ? QString::fromUtf8(text->name) : QString();
}

QString feedbackMessage(FeedbackKind kind)
{
    const KindText* text = textOf(kind);
    return text ? QString::fromUtf8(text->message) : QString();
}
