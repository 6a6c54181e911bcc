#include "TagCheck.h"

QString MissingTags(const QString& frontPageText, const QString& downloadPageText) {
    QString missing;
    if (!frontPageText.contains(QStringLiteral("#FRONT#"), Qt::CaseSensitive))
        missing = QStringLiteral("#FRONT# ");
    if (!downloadPageText.contains(QStringLiteral("#BACK#"), Qt::CaseSensitive))
        missing += QStringLiteral(" #BACK# ");
    return missing;
}

QString MissingTagsWarning(const QString& missingTags) {
    return QStringLiteral("The following tags are not present in your pages: ") + missingTags +
           QStringLiteral(". Please read the user manual for more info. Go ahead without them?");
}
