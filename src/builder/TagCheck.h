#pragma once

#include <QString>

// The tags a page set lacks, as the warning lists them: "#FRONT# " when the front-end page has
// no #FRONT#, then " #BACK# " when the download page has no #BACK#; empty when both are there.
// Each page counts only with its own tag, written exactly so.
QString MissingTags(const QString& frontPageText, const QString& downloadPageText);

QString MissingTagsWarning(const QString& missingTags);
