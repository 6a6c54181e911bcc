#include "ProductRecord.h"

#include "util/TextFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

namespace {

const QString kFormat = QStringLiteral("ostrel-product");
constexpr int kFormatVersion = 1;

struct DetailField {
    QString key;
    QString PluginDetails::*member;
};

const QList<DetailField>& detailFields() {
    static const QList<DetailField> fields{
        {QStringLiteral("name"), &PluginDetails::name},
        {QStringLiteral("uri"), &PluginDetails::uri},
        {QStringLiteral("description"), &PluginDetails::description},
        {QStringLiteral("version"), &PluginDetails::version},
        {QStringLiteral("author"), &PluginDetails::author},
        {QStringLiteral("authorUri"), &PluginDetails::authorUri},
        {QStringLiteral("license"), &PluginDetails::license},
    };
    return fields;
}

// Reads the fields of one record file, naming the file and the field in every complaint.
class RecordReader {
public:
    explicit RecordReader(const QString& path) : path_(path) {}

    [[noreturn]] void damaged(const QString& what) const {
        throw ProductRecordError(
            QStringLiteral("The product record %1 is damaged: %2.").arg(path_, what));
    }

    // within names the enclosing object in complaints, as in "details.name".
    QString text(const QJsonObject& object, const QString& key, const QString& within = {}) const {
        const QJsonValue value = field(object, key, within);
        if (!value.isString())
            damaged(QStringLiteral("\"%1\" must be a text").arg(name(key, within)));
        return value.toString();
    }

    QJsonObject object(const QJsonObject& parent, const QString& key) const {
        const QJsonValue value = field(parent, key);
        if (!value.isObject())
            damaged(QStringLiteral("\"%1\" must be an object").arg(key));
        return value.toObject();
    }

    QStringList texts(const QJsonObject& object, const QString& key) const {
        const QJsonValue value = field(object, key);
        QStringList list;
        const QJsonArray items = value.toArray();
        for (const QJsonValue& item : items)
            list << item.toString();
        if (!value.isArray() || !std::all_of(items.begin(), items.end(),
                                             [](const QJsonValue& v) { return v.isString(); }))
            damaged(QStringLiteral("\"%1\" must be a list of texts").arg(key));
        return list;
    }

private:
    static QString name(const QString& key, const QString& within) {
        return within.isEmpty() ? key : within + QLatin1Char('.') + key;
    }

    QJsonValue field(const QJsonObject& object, const QString& key,
                     const QString& within = {}) const {
        const QJsonValue value = object.value(key);
        if (value.isUndefined())
            damaged(QStringLiteral("\"%1\" is missing").arg(name(key, within)));
        return value;
    }

    QString path_;
};

// The marker tells a record from any other JSON; the version, a record this Ostrel cannot read
// from one it can.
void checkFormat(const QJsonObject& root, const RecordReader& reader, const QString& path) {
    if (root.value(QStringLiteral("format")) != QJsonValue(kFormat))
        throw ProductRecordError(
            QStringLiteral("%1 is not an Ostrel product record: it lacks \"format\": \"%2\".")
                .arg(path, kFormat));
    const QJsonValue version = root.value(QStringLiteral("formatVersion"));
    const double number = version.toDouble(-1);
    if (!version.isDouble() || number != std::floor(number))
        reader.damaged(QStringLiteral("\"formatVersion\" must be a whole number"));
    if (number != kFormatVersion)
        throw ProductRecordError(QStringLiteral("The product record %1 has format version %2; "
                                                "this Ostrel reads version %3 only.")
                                     .arg(path, QString::number(number))
                                     .arg(kFormatVersion));
}

} // namespace

ProductRecord LoadProductRecord(const QString& path) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(LoadBytesFromFile(path), &error);
    const RecordReader reader(path);
    if (error.error != QJsonParseError::NoError)
        reader.damaged(QStringLiteral("it is not JSON (%1 at byte %2)")
                           .arg(error.errorString())
                           .arg(error.offset));
    if (!document.isObject())
        reader.damaged(QStringLiteral("it is not a JSON object"));
    const QJsonObject root = document.object();
    checkFormat(root, reader, path);

    ProductRecord record;
    record.sourceFolder = reader.text(root, QStringLiteral("sourceFolder"));
    record.identifier = reader.text(root, QStringLiteral("identifier"));
    if (record.identifier.isEmpty())
        reader.damaged(QStringLiteral("\"identifier\" is empty"));
    const QJsonObject details = reader.object(root, QStringLiteral("details"));
    for (const DetailField& f : detailFields())
        record.details.*f.member = reader.text(details, f.key, QStringLiteral("details"));
    record.deliveryFiles = reader.texts(root, QStringLiteral("deliveryFiles"));
    record.lastBuiltVersion = reader.text(root, QStringLiteral("lastBuiltVersion"));
    return record;
}

void SaveProductRecord(const ProductRecord& record, const QString& path) {
    QJsonObject details;
    for (const DetailField& f : detailFields())
        details.insert(f.key, record.details.*f.member);
    // Lone surrogates, which stand for file-name bytes that are not UTF-8, are written as
    // \udcXX escapes and read back as they were.
    const QJsonObject root{
        {QStringLiteral("format"), kFormat},
        {QStringLiteral("formatVersion"), kFormatVersion},
        {QStringLiteral("sourceFolder"), record.sourceFolder},
        {QStringLiteral("identifier"), record.identifier},
        {QStringLiteral("details"), details},
        {QStringLiteral("deliveryFiles"), QJsonArray::fromStringList(record.deliveryFiles)},
        {QStringLiteral("lastBuiltVersion"), record.lastBuiltVersion},
    };
    SaveBytesToFile(QJsonDocument(root).toJson(QJsonDocument::Indented), path);
}

QString NextVersion(const QString& lastBuilt) {
    qsizetype start = lastBuilt.size();
    while (start > 0 && lastBuilt.at(start - 1).isDigit() &&
           lastBuilt.at(start - 1).unicode() < 0x80)
        --start;
    if (start == lastBuilt.size())
        return lastBuilt;
    // Raised as text, so no number is too long.
    QString next = lastBuilt;
    for (qsizetype i = next.size() - 1; i >= start; --i) {
        if (next.at(i) != QLatin1Char('9')) {
            next[i] = QChar(next.at(i).unicode() + 1);
            return next;
        }
        next[i] = QLatin1Char('0');
    }
    next.insert(start, QLatin1Char('1'));
    return next;
}
