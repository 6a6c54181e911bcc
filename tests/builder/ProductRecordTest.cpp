#include "builder/ProductRecord.h"
#include "builder/ProductStore.h"
#include "support/Fingerprint.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>
#include <gtest/gtest.h>

namespace {

QStringList fieldsOf(const ProductRecord& r) {
    const PluginDetails& d = r.details;
    return QStringList{r.sourceFolder, r.identifier, d.name,      d.uri,     d.description,
                       d.version,      d.author,     d.authorUri, d.license, r.lastBuiltVersion}
           << r.deliveryFiles;
}

ProductRecord sampleRecord(const QString& sourceFolder) {
    return {sourceFolder,
            QStringLiteral("herbs_1"),
            {"Balcony Herbs", "https://example.org/herbs", "A guide", "1.0", "Ann",
             "https://example.org", "GPL2"},
            {QStringLiteral("files/guide.pdf")},
            QStringLiteral("1.0")};
}

TEST(ProductRecord, OddTextsComeBackExactly) {
    const QString notUtf8Byte(QChar(0xDC80 + 0xE9)); // a file-name byte that is not UTF-8
    const QList<ProductRecord> records{
        {"", "p1", {}, {}, ""},
        {"/home/ann/Shop " + notUtf8Byte,
         "shop-2",
         {"Kräuter \"Balkon\" 🌿", "https://example.org/?a=1&b=<2>",
          "Line one\nLine two\r\n\ttab \\ "
          "back\\slash */ {\"json\": [1]}",
          "2.0-β", "Zoë O'Brien", "https://例え.jp", QString(QChar(0)) + "nul"},
         {"files/é.pdf", "files/" + notUtf8Byte + ".zip", "a b/c d.txt"},
         "1.9"},
    };
    TempFolder dir;
    const QString file = dir / QStringLiteral("product.json");
    for (const ProductRecord& record : records) {
        SaveProductRecord(record, file); // the second one replaces the first
        EXPECT_EQ(fieldsOf(LoadProductRecord(file)), fieldsOf(record));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("product.json")}); // no temporary file left
}

QJsonObject validJson() {
    TempFolder dir;
    const QString file = dir / QStringLiteral("product.json");
    SaveProductRecord(sampleRecord(QStringLiteral("/shop")), file);
    return QJsonDocument::fromJson(readBytes(file)).object();
}

TEST(ProductRecord, DamagedOrForeignRecordsAreRefusedAndKept) {
    using Change = std::function<void(QJsonObject&)>;
    auto set = [](const char* key, QJsonValue value) -> Change {
        return [=](QJsonObject& o) { o[QLatin1String(key)] = value; };
    };
    struct Case {
        const char* what;
        QByteArray content; // used when change is empty
        Change change;
        QString message;
    };
    const QList<Case> cases{
        {"not JSON", "{\"format\": \"ostrel-product\",", {}, "is damaged: it is not JSON"},
        {"another format", {}, set("format", "shop-export"), "is not an Ostrel product record"},
        {"newer version",
         {},
         set("formatVersion", 2),
         "has format version 2; this Ostrel reads version 1 only"},
        {"identifier missing",
         {},
         [](QJsonObject& o) { o.remove("identifier"); },
         "\"identifier\" is missing"},
        {"identifier empty", {}, set("identifier", ""), "\"identifier\" is empty"},
        {"detail missing",
         {},
         [](QJsonObject& o) {
             QJsonObject d = o["details"].toObject();
             d.remove("authorUri");
             o["details"] = d;
         },
         "\"details.authorUri\" is missing"},
        {"delivery file a number",
         {},
         set("deliveryFiles", QJsonArray{"a.pdf", 3}),
         "\"deliveryFiles\" must be a list of texts"},
    };
    TempFolder dir;
    ProductStore store(dir / QStringLiteral("store"));
    const QString source = dir.makeFolder(QStringLiteral("shop"));
    store.save(sampleRecord(source));
    const QString file = store.productFolder(source) + QStringLiteral("/product.json");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray content = c.content;
        if (c.change) {
            QJsonObject json = validJson();
            c.change(json);
            content = QJsonDocument(json).toJson();
        }
        writeBytes(file, content);
        try {
            store.find(source);
            ADD_FAILURE() << "accepted";
        } catch (const ProductRecordError& error) {
            EXPECT_TRUE(error.description().contains(file)) << error.what();
            EXPECT_TRUE(error.description().contains(c.message)) << error.what();
        }
        EXPECT_EQ(readBytes(file), content);
    }
}

TEST(ProductStore, FindsAProductByAnySpellingOfItsFolder) {
    TempFolder dir;
    ProductStore store(dir / QStringLiteral("store"));
    const QString shop = dir.makeFolder(QStringLiteral("shop"));
    const QString gone = dir / QStringLiteral("gone/shop"); // never made
    EXPECT_FALSE(store.find(shop));
    EXPECT_FALSE(QFileInfo::exists(store.folder())); // looking writes nothing

    store.save(sampleRecord(shop));
    ProductRecord other = sampleRecord(gone);
    other.identifier = QStringLiteral("other");
    store.save(other);

    const QString link = dir.link(QStringLiteral("link-to-shop"), shop);
    const QList<std::pair<QString, QString>> spellings{
        {shop + "/", "herbs_1"},
        {dir / QStringLiteral("shop/../shop/."), "herbs_1"},
        {link, "herbs_1"},
        {gone + "/../shop/", "other"},
    };
    for (const auto& [spelling, identifier] : spellings) {
        const std::optional<ProductRecord> found = store.find(spelling);
        ASSERT_TRUE(found) << spelling.toStdString();
        EXPECT_EQ(found->identifier, identifier) << spelling.toStdString();
    }
    EXPECT_TRUE(QFileInfo(store.productFolder(link))
                    .fileName()
                    .contains(QRegularExpression(QStringLiteral("^[0-9a-f]{16}$"))));
}

TEST(ProductStore, ForgetRemovesOnlyThatProduct) {
    TempFolder dir;
    ProductStore store(dir / QStringLiteral("store"));
    const QString shop = dir.write(QStringLiteral("shop/index.html"), "mine");
    const QString shopFolder = dir / QStringLiteral("shop");
    const QString kept = dir.makeFolder(QStringLiteral("kept"));
    store.save(sampleRecord(shopFolder));
    store.save(sampleRecord(kept));
    const QString edits = store.productFolder(shopFolder) + QStringLiteral("/edits/index.html");
    writeBytes(edits, "edited");
    const QStringList keptBefore = fingerprint(store.productFolder(kept));

    store.forget(dir.link(QStringLiteral("link"), shopFolder));
    EXPECT_FALSE(store.find(shopFolder));
    EXPECT_FALSE(QFileInfo::exists(store.productFolder(shopFolder)));
    EXPECT_EQ(fingerprint(store.productFolder(kept)), keptBefore);
    EXPECT_EQ(readBytes(shop), "mine");
    store.forget(shopFolder); // nothing left to forget
}

TEST(NextVersion, RaisesTheLastNumber) {
    const QList<std::pair<QString, QString>> cases{
        {"1.0", "1.1"},
        {"1.9", "1.10"},
        {"2", "3"},
        {"1.2.3", "1.2.4"},
        {"1.09", "1.10"},
        {"1.0-beta2", "1.0-beta3"},
        {"1.0-beta", "1.0-beta"},
        {"", ""},
        {"release", "release"},
        {"1.99999999999999999999", "1.100000000000000000000"},
        {"1.٣", "1.٣"}, // digits of other scripts are not version numbers
    };
    for (const auto& [last, next] : cases)
        EXPECT_EQ(NextVersion(last), next) << last.toStdString();
}

} // namespace
