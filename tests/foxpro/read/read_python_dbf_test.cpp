// Tables written by another program (the python3-dbf package) read back
// with the values it was given.  Its null flags number bits differently from
// Visual FoxPro, so no nullable fields are written.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "foxpro/read/table_reader.h"
#include "foxpro/text/text_form.h"
#include "support/python_runner.h"
#include "support/table_builder.h"

namespace quorvel::foxpro {
namespace {

constexpr char kScript[] = R"PY(
import dbf, datetime, decimal, sys
folder = sys.argv[1]
t = dbf.Table(folder + '/vfp.dbf',
              'NAME C(10); QTY N(8,2); RATE F(10,3); BORN D; SEEN T; OK L; CNT I; DBL B; '
              'PRICE Y; NOTES M', dbf_type='vfp', codepage='cp1252')
t.open(dbf.READ_WRITE)
t.append(('Caf\u00e9', -12.5, 0.125, datetime.date(2020, 12, 31),
          datetime.datetime(2020, 12, 31, 13, 2, 3), True, -7, 1e20, decimal.Decimal('12.5'),
          'memo \u00e9\r\nline'))
t.append(('', 0, 0, None, None, False, -2147483647, 0.5, decimal.Decimal('-0.0001'), ''))
t.close()
t = dbf.Table(folder + '/db3.dbf', 'NAME C(10); QTY N(8,2); BORN D; OK L; NOTES M',
              dbf_type='db3', codepage='cp437')
t.open(dbf.READ_WRITE)
t.append(('na\u00efve', 3.25, datetime.date(1999, 1, 2), False, 'x' * 600))
t.close()
t = dbf.Table(folder + '/fp.dbf', 'NAME C(10); QTY N(8,2); RATE F(10,3); BORN D; OK L; NOTES M',
              dbf_type='fp', codepage='cp850')
t.open(dbf.READ_WRITE)
t.append(('\u00c5ngstr\u00f6m', -0.5, 1.5, datetime.date(1899, 12, 30), True, 'y' * 70))
t.close()
)PY";

class PythonDbfTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::pythonCanImport("dbf")) GTEST_SKIP() << "python3-dbf is not installed";
        bool ok = false;
        const std::string out = test::runPython(kScript, &ok, {dir_.path()});
        ASSERT_TRUE(ok) << "python3-dbf failed: " << out;
    }

    // Text forms of every field of every live record.
    std::vector<std::vector<std::string>> Read(const std::string& name) {
        TableReader r(dir_.file(name));
        std::vector<std::vector<std::string>> rows;
        for (auto i = r.nextLive(0); i < r.storedCount(); i = r.nextLive(i + 1)) {
            rows.emplace_back();
            for (int f = 0; f < r.fieldCount(); ++f)
                rows.back().push_back(textForm(r.value(r.storedRecord(i), f), TextLocale::c()));
        }
        return rows;
    }

    test::TempFolder dir_;
};

using ::testing::ElementsAre;

TEST_F(PythonDbfTest, VisualFoxProValuesReadBack) {
    const auto rows = Read("vfp.dbf");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_THAT(rows[0],
                ElementsAre("Café      ", "-12.5", "0.125", "2020-12-31", "2020-12-31 13:02:03",
                            "True", "-7", "1E+20", "12.5", "memo é\r\nline"));
    EXPECT_THAT(rows[1], ElementsAre("          ", "0", "0", "", "", "False", "-2147483647", "0.5",
                                     "-0.0001", ""));
}

TEST_F(PythonDbfTest, DbaseThreeAndFoxProTwoValuesReadBack) {
    const auto db3 = Read("db3.dbf");
    ASSERT_EQ(db3.size(), 1u);
    EXPECT_THAT(db3[0],
                ElementsAre("naïve     ", "3.25", "1999-01-02", "False", std::string(600, 'x')));
    const auto fp = Read("fp.dbf");
    ASSERT_EQ(fp.size(), 1u);
    EXPECT_THAT(fp[0], ElementsAre("Ångström  ", "-0.5", "1.5", "1899-12-30", "True",
                                   std::string(70, 'y')));
}

}  // namespace
}  // namespace quorvel::foxpro
