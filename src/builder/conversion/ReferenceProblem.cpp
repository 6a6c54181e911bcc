#include "ReferenceProblem.h"

QString ReferenceProblem::text() const {
    QString what;
    switch (kind) {
    case Kind::NoSuchFile:
        what = QStringLiteral("\"%1\" names no file of the folder");
        break;
    case Kind::OutsideFolder:
        what = QStringLiteral("\"%1\" leads out of the folder");
        break;
    case Kind::InScript:
        what = QStringLiteral("\"%1\" in a script is left as written and may not be found on "
                              "WordPress");
        break;
    case Kind::DownloadLink:
        what = QStringLiteral("\"%1\" links to the download page and would give the product "
                              "away; it leads to the sales page instead");
        break;
    }
    // Line breaks in an address would break the report's one line per reference.
    QString shown = reference;
    shown.replace(u'\n', u' ').replace(u'\r', u' ');
    return QStringLiteral("%1:%2: ").arg(page, QString::number(line)) + what.arg(shown);
}

QString ReferenceReportHeading(qsizetype count) {
    return QStringLiteral("References to check (%1):").arg(count);
}
