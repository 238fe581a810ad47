// Packed string cells and the column stores built on them: contents against a plain model,
// the inline/arena boundary, shared fills, and reclaiming the arena.
#include "engine/catalog/string_cells.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/catalog/column_store.h"
#include "engine/catalog/null_bitmap.h"
#include "engine/types/render.h"

namespace {

using engine::StringCells;

void expectSame(const StringCells& cells, const std::vector<std::string>& model,
                const std::string& where) {
    ASSERT_EQ(cells.size(), model.size()) << where;
    for (size_t i = 0; i < model.size(); ++i)
        ASSERT_EQ(cells.view(i), model[i]) << where << ", cell " << i;
}

TEST(StringCellsTest, KeepsEveryLengthAroundTheInlineLimitAndBinaryBytes) {
    StringCells cells;
    std::vector<std::string> model;
    for (size_t n : {0, 1, 6, 7, 8, 9, 127, 128, 129, 20000}) {
        std::string s;
        for (size_t i = 0; i < n; ++i)
            s.push_back(static_cast<char>((i * 37 + n) % 256));  // NULs and high bytes too
        cells.push(s);
        model.push_back(s);
    }
    expectSame(cells, model, "pushed");
    // Overwrite inline with arena strings and back.
    cells.set(0, std::string(300, 'x'));
    model[0] = std::string(300, 'x');
    cells.set(9, "short");
    model[9] = "short";
    expectSame(cells, model, "set");
}

TEST(StringCellsTest, AFillSharesOneArenaCopy) {
    StringCells cells;
    const std::string longDefault = "Hermanos Gracia, S.C.";
    cells.fill(100000, longDefault);
    EXPECT_EQ(cells.size(), 100000u);
    EXPECT_LT(cells.arenaBytes(), 64u);
    EXPECT_EQ(cells.view(99999), longDefault);
    // Changing one cell leaves the others alone.
    cells.set(5, "otro");
    EXPECT_EQ(cells.view(5), "otro");
    EXPECT_EQ(cells.view(4), longDefault);
    EXPECT_EQ(cells.view(6), longDefault);
}

TEST(StringCellsTest, RepeatedUpdatesDoNotGrowTheArenaWithoutBound) {
    StringCells cells;
    const size_t rows = 20000;
    for (size_t i = 0; i < rows; ++i)
        cells.push("value number " + std::to_string(i));
    std::vector<std::string> model;
    for (int round = 0; round < 30; ++round) {
        model.clear();
        for (size_t i = 0; i < rows; ++i) {
            std::string s = "round " + std::to_string(round) + " row " + std::to_string(i);
            cells.set(i, s);
            model.push_back(s);
        }
    }
    expectSame(cells, model, "after updates");
    size_t live = 0;
    for (const auto& s : model)
        live += s.size() + 1;
    EXPECT_LT(cells.arenaBytes(), 2 * live + (1u << 20) + 64);
}

TEST(StringCellsTest, RepackingKeepsSharedStringsShared) {
    StringCells cells;
    cells.fill(200000, "a default of some length");  // shared by every cell
    for (size_t i = 0; i < 60000; ++i)
        cells.set(i, "replacement number " + std::to_string(i));
    for (size_t i = 0; i < 60000; ++i)
        cells.set(i, "second replacement " + std::to_string(i));  // forces a repack
    EXPECT_EQ(cells.view(199999), "a default of some length");
    EXPECT_EQ(cells.view(59999), "second replacement 59999");
    // The shared default is still one copy: the arena holds it once plus the live
    // replacements (and at most as much again of garbage).
    EXPECT_LT(cells.arenaBytes(), 2 * 60000u * 26 + (1u << 20));
}

TEST(StringCellsTest, RandomOperationsMatchAPlainModel) {
    std::mt19937 random(20240611);
    StringCells cells;
    std::vector<std::string> model;
    auto randomString = [&] {
        size_t n = random() % 4 == 0 ? random() % 300 : random() % 12;
        std::string s;
        for (size_t i = 0; i < n; ++i)
            s.push_back(static_cast<char>(random() % 256));
        return s;
    };
    for (int step = 0; step < 20000; ++step) {
        switch (random() % 6) {
            case 0:
            case 1: {
                std::string s = randomString();
                cells.push(s);
                model.push_back(s);
                break;
            }
            case 2:
                if (!model.empty()) {
                    size_t i = random() % model.size();
                    std::string s = randomString();
                    cells.set(i, s);
                    model[i] = s;
                }
                break;
            case 3: {
                size_t n = random() % 5;
                std::string s = randomString();
                cells.fill(n, s);
                model.insert(model.end(), n, s);
                break;
            }
            case 4: {
                StringCells other;
                std::vector<std::string> more;
                for (size_t i = random() % 6; i > 0; --i) {
                    more.push_back(randomString());
                    other.push(more.back());
                }
                if (!more.empty()) other.set(0, randomString() + "tail of the first");
                if (!more.empty()) more[0] = std::string(other.view(0));
                cells.append(other);
                model.insert(model.end(), more.begin(), more.end());
                break;
            }
            case 5:
                if (random() % 20 == 0) {
                    std::vector<bool> keep(model.size());
                    std::vector<std::string> kept;
                    for (size_t i = 0; i < model.size(); ++i) {
                        keep[i] = random() % 3 != 0;
                        if (keep[i]) kept.push_back(model[i]);
                    }
                    cells.compact(keep);
                    model = kept;
                }
                break;
        }
        if (step % 1000 == 0) expectSame(cells, model, "step " + std::to_string(step));
    }
    expectSame(cells, model, "end");
}

TEST(ColumnStoreTest, AppendCopiesCellsAndNullsOfEveryRepresentation) {
    using namespace engine;
    const DataType types[] = {DataType::of(TypeId::Int), Value::floating(2.5).type(),
                              DataType::numeric(12, 2), DataType::varchar(40),
                              DataType::of(TypeId::DateTime)};
    const Value samples[] = {Value::integer(42), Value::floating(2.5, TypeId::Float),
                             Value::decimal(12345, DataType::numeric(12, 2)),
                             Value::string("texto largo de prueba", DataType::varchar(40)),
                             Value::datetime(41000, 150)};
    for (size_t t = 0; t < std::size(types); ++t) {
        ColumnStore a(types[t]);
        ColumnStore b(types[t]);
        a.push(samples[t]);
        b.push(Value::null(types[t]));
        b.push(samples[t]);
        a.append(b);
        ASSERT_EQ(a.size(), 3u) << t;
        EXPECT_FALSE(a.isNull(0)) << t;
        EXPECT_TRUE(a.isNull(1)) << t;
        EXPECT_EQ(renderAsText(a.get(0)), renderAsText(samples[t])) << t;
        EXPECT_EQ(renderAsText(a.get(2)), renderAsText(samples[t])) << t;
        EXPECT_EQ(a.get(2).type(), types[t]) << t;
    }
    // Another type converts cell by cell.
    ColumnStore wide(DataType::varchar(10));
    ColumnStore narrow(DataType::varchar(5));
    narrow.push(Value::string("abc", DataType::varchar(5)));
    wide.append(narrow);
    EXPECT_EQ(wide.get(0).type(), DataType::varchar(10));
    EXPECT_EQ(wide.get(0).bytes(), "abc");
}

// A column whose cells all hold one value keeps it once; every operation must read as if each
// slot had its own cell, and the first different cell (set, pushed, filled, appended, read
// from the store's raw cells) must spread the value again. Small pools of values make
// uniform columns, and their ends, frequent.
TEST(ColumnStoreTest, UniformColumnsReadAndChangeLikeAPlainModel) {
    using namespace engine;
    std::mt19937 random(20261210);
    const std::vector<std::pair<DataType, std::vector<Value>>> pools = {
        {DataType::of(TypeId::Money),
         {Value::money(0, TypeId::Money), Value::money(15000, TypeId::Money)}},
        {Value::floating(0.0).type(),
         {Value::floating(0.0, TypeId::Float), Value::floating(-0.0, TypeId::Float)}},
        {DataType::numeric(12, 2),
         {Value::decimal(0, DataType::numeric(12, 2)), Value::decimal(-7, DataType::numeric(12, 2))}},
        {DataType::varchar(40),
         {Value::string("", DataType::varchar(40)), Value::string("a", DataType::varchar(40)),
          Value::string("a ", DataType::varchar(40)),
          Value::string("un texto más largo que siete", DataType::varchar(40))}},
        {DataType::of(TypeId::DateTime), {Value::datetime(41000, 150), Value::datetime(41000, 151)}},
    };
    auto same = [](const Value& a, const Value& b) {
        if (a.isNull() || b.isNull()) return a.isNull() == b.isNull();
        return renderAsText(a) == renderAsText(b) &&
               (a.type().id != TypeId::Float || std::signbit(a.asDouble()) == std::signbit(b.asDouble())) &&
               (a.type().id != TypeId::DateTime || a.ticks() == b.ticks());
    };
    for (const auto& [type, values] : pools) {
        ColumnStore column(type);
        std::vector<Value> model;
        bool sawUniform = false;
        auto pick = [&] {
            return random() % 5 == 0 ? Value::null(type) : values[random() % values.size()];
        };
        for (int step = 0; step < 6000; ++step) {
            const Value v = pick();
            switch (random() % 9) {
                case 0:
                    column.push(v);
                    model.push_back(v);
                    break;
                case 1:
                    if (!model.empty()) {
                        size_t i = random() % model.size();
                        column.set(i, v);
                        model[i] = v;
                    }
                    break;
                case 2: {
                    size_t n = random() % 70;
                    column.fill(n, v);
                    model.insert(model.end(), n, v);
                    break;
                }
                case 3: {
                    ColumnStore other(type);
                    size_t n = random() % 5;
                    other.fill(n, v);
                    model.insert(model.end(), n, v);
                    if (random() % 2 == 0) {
                        other.push(pick());
                        model.push_back(other.get(n));
                    }
                    column.append(other);
                    break;
                }
                case 4:
                    if (random() % 8 == 0) {
                        std::vector<bool> keep(model.size());
                        std::vector<Value> kept;
                        const bool dropAll = random() % 4 == 0;
                        for (size_t i = 0; i < model.size(); ++i) {
                            keep[i] = !dropAll && random() % 4 != 0;
                            if (keep[i]) kept.push_back(model[i]);
                        }
                        column.compact(keep);
                        model = kept;
                    }
                    break;
                case 5:
                    column.shareIfUniform();
                    break;
                case 6:
                    if (!v.isNull() && type.id == TypeId::VarChar) {
                        column.pushRawBytes(v.bytes());
                        model.push_back(v);
                    }
                    break;
                case 7:
                    if (random() % 50 == 0) {
                        column.clear();
                        model.clear();
                    }
                    break;
                case 8:
                    if (!model.empty()) {
                        ColumnStore other(type);
                        other.push(pick());
                        other.push(v);
                        size_t i = random() % model.size();
                        column.setFrom(i, other, 1);
                        model[i] = v;
                    }
                    break;
            }
            bool modelSame = true;
            for (size_t i = 1; i < model.size(); ++i)
                modelSame = modelSame && same(model[i], model[0]);
            ASSERT_EQ(column.allSame(), modelSame) << step;
            sawUniform = sawUniform || column.uniform();
            ASSERT_EQ(column.size(), model.size()) << step;
            if (step % 20 == 0 || column.uniform()) {
                for (size_t i = 0; i < model.size(); ++i) {
                    ASSERT_EQ(column.isNull(i), model[i].isNull()) << step << ", cell " << i;
                    ASSERT_TRUE(same(column.get(i), model[i]))
                        << step << ", cell " << i << ": " << renderAsText(column.get(i));
                }
            }
        }
        EXPECT_TRUE(sawUniform) << renderAsText(values[0]);
    }
    // Shared once: a million cells of a default take a few bytes.
    ColumnStore zeros(DataType::of(TypeId::Money));
    for (int i = 0; i < 1000000; ++i)
        zeros.pushRawInt(0);
    zeros.shareIfUniform();
    EXPECT_TRUE(zeros.uniform());
    EXPECT_LT(zeros.memoryBytes(), 64u);
    zeros.set(999999, Value::money(1, TypeId::Money));
    EXPECT_FALSE(zeros.uniform());
    EXPECT_EQ(zeros.rawInt(999998), 0);
    EXPECT_EQ(zeros.rawInt(999999), 1);
}

// Word boundaries are where a bitmap goes wrong: appends at aligned and unaligned sizes, fills
// of NULLs that must not leak set bits past the end, and compaction.
TEST(NullBitmapTest, RandomOperationsMatchAPlainModel) {
    std::mt19937 random(20261209);
    engine::NullBitmap bits;
    std::vector<bool> model;
    for (int step = 0; step < 20000; ++step) {
        switch (random() % 5) {
            case 0: {
                bool v = random() % 3 == 0;
                bits.push(v);
                model.push_back(v);
                break;
            }
            case 1:
                if (!model.empty()) {
                    size_t i = random() % model.size();
                    bool v = random() % 2 == 0;
                    bits.assign(i, v);
                    model[i] = v;
                }
                break;
            case 2: {
                size_t n = model.size() + random() % 150;
                if (random() % 4 == 0 && !model.empty()) n = random() % model.size();
                bool v = random() % 2 == 0;
                bits.resize(n, v);
                model.resize(n, v);
                break;
            }
            case 3: {
                engine::NullBitmap other;
                size_t n = random() % 3 == 0 ? 64 * (1 + random() % 3) : random() % 100;
                for (size_t i = 0; i < n; ++i) {
                    bool v = random() % 2 == 0;
                    other.push(v);
                    model.push_back(v);
                }
                bits.append(other);
                break;
            }
            case 4:
                if (random() % 10 == 0) {
                    std::vector<bool> keep(model.size()), kept;
                    for (size_t i = 0; i < model.size(); ++i) {
                        keep[i] = random() % 3 != 0;
                        if (keep[i]) kept.push_back(model[i]);
                    }
                    bits.compact(keep);
                    model = kept;
                }
                break;
        }
        ASSERT_EQ(bits.size(), model.size()) << "step " << step;
        if (step % 100 == 0) {
            for (size_t i = 0; i < model.size(); ++i)
                ASSERT_EQ(bits.test(i), model[i]) << "step " << step << ", cell " << i;
        }
    }
}

}  // namespace
