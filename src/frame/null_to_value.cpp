#include "frame/null_to_value.h"

namespace quorvel::frame {

foxpro::Value NullToValue(const foxpro::Value& value, const foxpro::Value& replacement) {
    return value.isNull() ? replacement : value;
}

}  // namespace quorvel::frame
