#include "foxpro/write/field_encoder.h"

#include <gtest/gtest.h>

#include <string>

#include "foxpro/foxpro_error.h"

namespace quorvel::foxpro {
namespace {

Literal literal(Literal::Kind kind, std::string text) {
    Literal l;
    l.kind = kind;
    l.text = std::move(text);
    return l;
}

// Plain numbers are placed without the exact decimal arithmetic.  The same
// number with an exponent goes through that arithmetic, so each pair must
// give the same bytes, or both be refused.
TEST(FieldEncoderTest, PlainNumbersGiveTheBytesOfTheDecimalArithmetic) {
    const char* numbers[] = {"0",      "-0",    "7",     "-7",     "12.5",  "-12.50",
                             "0.05",   "-0.05", "000.1", "0012.3", "99999", "-9999",
                             "123456", "1.005", "-99.9", "5.",     "-0.00", "12345678901234567890"};
    const struct {
        char letter;
        int width;
        int decimals;
    } fields[] = {{'N', 1, 0}, {'N', 5, 0}, {'N', 5, 2}, {'N', 8, 3}, {'F', 10, 4}, {'N', 20, 0}};
    const TextStorage storage;
    for (const auto& shape : fields) {
        FieldInfo f;
        f.name = "F";
        f.letter = shape.letter;
        f.width = shape.width;
        f.decimals = shape.decimals;
        for (const char* number : numbers) {
            for (const auto kind : {Literal::Kind::Number, Literal::Kind::Text}) {
                const Literal plain = literal(kind, number);
                const Literal exact = literal(kind, std::string(number) + "e0");
                SCOPED_TRACE(std::string(number) + " into " + shape.letter +
                             std::to_string(shape.width) + "," + std::to_string(shape.decimals));
                std::string plainBytes = "refused", exactBytes = "refused";
                try {
                    plainBytes = encodeField(f, storage, plain, "t").bytes;
                } catch (const FoxProError&) {
                }
                try {
                    exactBytes = encodeField(f, storage, exact, "t").bytes;
                } catch (const FoxProError&) {
                }
                EXPECT_EQ(plainBytes, exactBytes);
                // What the encoder writes is what may be copied as it is.
                if (plainBytes != "refused") {
                    EXPECT_TRUE(isEncodedNumber(f, plainBytes));
                }
            }
        }
    }
    FieldInfo f;
    f.name = "F";
    f.letter = 'N';
    f.width = 7;
    f.decimals = 2;
    EXPECT_EQ(encodeField(f, storage, literal(Literal::Kind::Number, "-3.5"), "t").bytes,
              "  -3.50");
}

// Stored forms the encoder would not write are read as numbers instead.
TEST(FieldEncoderTest, OnlyTheEncodersOwnFormCountsAsEncoded) {
    FieldInfo f;
    f.letter = 'N';
    f.width = 7;
    f.decimals = 2;
    for (const char* other : {"  12.5 ", " 012.50", "  -0.00", "   .50", "  +1.00", "12.50  ",
                              "       ", "  1.5e1", "  12,50", "  -1-.0"})
        EXPECT_FALSE(isEncodedNumber(f, other)) << other;
    EXPECT_TRUE(isEncodedNumber(f, "   0.05"));
    EXPECT_FALSE(isEncodedNumber(f, "   0.050"));  // not the field's width
    f.letter = 'C';
    EXPECT_FALSE(isEncodedNumber(f, "  12.50"));
}

}  // namespace
}  // namespace quorvel::foxpro
