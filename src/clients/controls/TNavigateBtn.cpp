#include "TNavigateBtn.h"

QString navigateBtnWord(TNavigateBtn kind)
{
    static const std::array<const char*, NavigateBtnCount> words = {
        "FIRST", "PRIOR", "NEXT", "LAST", "INSERT", "DELETE", "EDIT", "POST", "CANCEL", "REFRESH"};
    return QString::fromLatin1(words.at(int(kind)));
}

const QStringList& defaultNavigatorHints()
{
    static const QStringList hints = {
        QStringLiteral("First record"), QStringLiteral("Prior record"), QStringLiteral("Next record"),
        QStringLiteral("Last record"),  QStringLiteral("Insert record"), QStringLiteral("Delete record"),
        QStringLiteral("Edit record"),  QStringLiteral("Post edit"),     QStringLiteral("Cancel edit"),
        QStringLiteral("Refresh data")};
    return hints;
}
