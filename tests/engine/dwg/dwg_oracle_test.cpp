// The DWG reader against the object tree that the CAD application itself dumped from one of
// the test drawings (dwg/acadsharp/oracle): layer, linetype and text style names with their
// handles, every block with its name, handle and the handles, layers and colours of its
// entities in order. (The tree of sample_AC1015 was dumped from another save of that
// drawing: it lacks layers the file and its DXF twin have, so it is not used.)
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <map>

#include "dxf/TestDxf.h"
#include "engine/dwg/DwgReader.h"

namespace vx::engine {
namespace {

class DwgOracle : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        std::string v = GetParam();
        auto dwgPath = test::TestData() / "dwg" / "acadsharp" / ("sample_" + v + ".dwg");
        auto treePath =
            test::TestData() / "dwg" / "acadsharp" / "oracle" / ("sample_" + v + "_tree.json");
        if (!std::filesystem::exists(dwgPath) || !std::filesystem::exists(treePath)) {
            GTEST_SKIP() << "testdata absent";
        }
        auto r = dwg::ReadDwg(test::ReadBytes(dwgPath));
        ASSERT_TRUE(r.Ok()) << r.error.Text();
        db_ = std::move(r.database);
        QFile f(QString::fromStdString(treePath.string()));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        tree_ = QJsonDocument::fromJson(f.readAll()).object();
        ASSERT_FALSE(tree_.isEmpty());
    }
    QJsonArray Entries(const char* table) const {
        return tree_.value(table).toObject().value("Entries").toArray();
    }
    std::unique_ptr<db::Database> db_;
    QJsonObject tree_;
};

db::Handle HandleOf(const QJsonObject& o) {
    return static_cast<db::Handle>(o.value("Handle").toDouble());
}

std::string NameOf(const QJsonObject& o) {
    return o.value("Name").toString().toStdString();
}

TEST_P(DwgOracle, TableEntriesHaveTheirHandles) {
    int layers = 0;
    for (const auto& v : Entries("LayersTable")) {
        auto o = v.toObject();
        db::LayerId id = db_->FindLayer(NameOf(o));
        ASSERT_NE(id, db::kNone) << NameOf(o);
        EXPECT_EQ(db_->layers[id].handle, HandleOf(o)) << NameOf(o);
        ++layers;
    }
    EXPECT_EQ(static_cast<std::size_t>(layers), db_->layers.size());
    for (const auto& v : Entries("LineTypesTable")) {
        auto o = v.toObject();
        db::LinetypeId id = db_->FindLinetype(NameOf(o));
        ASSERT_NE(id, db::kNone) << NameOf(o);
        EXPECT_EQ(db_->linetypes[id].handle, HandleOf(o)) << NameOf(o);
    }
    for (const auto& v : Entries("TextStylesTable")) {
        auto o = v.toObject();
        if (NameOf(o).empty()) {
            continue;  // shape files of complex linetypes
        }
        db::StyleId id = db_->FindTextStyle(NameOf(o));
        ASSERT_NE(id, db::kNone) << NameOf(o);
        EXPECT_EQ(db_->textStyles[id].handle, HandleOf(o)) << NameOf(o);
    }
}

TEST_P(DwgOracle, BlocksHoldTheirEntitiesInOrder) {
    std::map<db::Handle, const db::Block*> byHandle;
    for (const auto& b : db_->blocks) {
        byHandle[b.recordHandle] = &b;
    }
    int blocks = 0;
    for (const auto& v : Entries("BlocksTable")) {
        auto o = v.toObject();
        SCOPED_TRACE(NameOf(o));
        auto it = byHandle.find(HandleOf(o));
        ASSERT_NE(it, byHandle.end());
        const db::Block& b = *it->second;
        EXPECT_EQ(b.name, NameOf(o));
        EXPECT_EQ(b.IsAnonymous(), o.value("IsAnonymous").toBool());
        ++blocks;
        if (NameOf(o).rfind("*T", 0) == 0) {
            continue;  // table blocks: the application makes them anew when it opens a file
        }
        auto entities = o.value("Entities").toArray();
        ASSERT_EQ(b.entities.size(), static_cast<std::size_t>(entities.size()));
        for (qsizetype k = 0; k < entities.size(); ++k) {
            auto e = entities[k].toObject();
            const db::Entity& mine = b.entities[static_cast<std::size_t>(k)];
            EXPECT_EQ(mine.props.handle, HandleOf(e)) << k;
            EXPECT_EQ(db_->layers[mine.props.layer].name,
                      e.value("LayerName").toString().toStdString())
                << std::hex << mine.props.handle;
            EXPECT_EQ(mine.props.invisible, e.value("IsInvisible").toBool());
            auto color = e.value("Color").toObject();
            if (color.value("IsByLayer").toBool()) {
                EXPECT_EQ(mine.props.color.kind, db::Color::Kind::ByLayer)
                    << std::hex << mine.props.handle;
            } else if (color.value("IsByBlock").toBool()) {
                EXPECT_EQ(mine.props.color.kind, db::Color::Kind::ByBlock)
                    << std::hex << mine.props.handle;
            } else if (mine.props.color.kind == db::Color::Kind::True) {
                std::uint32_t rgb =
                    (static_cast<std::uint32_t>(color.value("Red").toInt()) << 16) |
                    (static_cast<std::uint32_t>(color.value("Green").toInt()) << 8) |
                    static_cast<std::uint32_t>(color.value("Blue").toInt());
                EXPECT_EQ(mine.props.color.rgb, rgb) << std::hex << mine.props.handle;
            } else {
                EXPECT_EQ(mine.props.color.index, color.value("Index").toInt())
                    << std::hex << mine.props.handle;
            }
            EXPECT_DOUBLE_EQ(mine.props.linetypeScale, e.value("LinetypeScale").toDouble());
        }
    }
    EXPECT_GE(blocks, 26);
}

INSTANTIATE_TEST_SUITE_P(Samples, DwgOracle, ::testing::Values("AC1032"));

}  // namespace
}  // namespace vx::engine
