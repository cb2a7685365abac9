// A small definitions world for the registry tests, independent of the
// built-in texts: a few prefixes, base units, forward references, offset
// units, a constant that imports from the constants text, and spellings
// that compete for the same key.
#pragma once

#include <string_view>

#include "registry/registry.hpp"
#include "registry/registry_testing.hpp"

namespace qudim::testing {

inline constexpr std::string_view kWorldMain = R"(# test world
@defaults
    group = international
    system = mks
@end
kilo- = 1e3 = k-
milli- = 1e-3 = m-
centi- = 1e-2 = c-
deci- = 1e-1 = d-
deca- = 1e1 = da- = deka-
hecto- = 1e2 = h-
micro- = 1e-6 = µ- = μ- = u- = mu-
mega- = 1e6 = M-
kibi- = 2**10 = Ki-

meter = [length] = m = metre
second = [time] = s = sec
gram = [mass] = g
kelvin = [temperature]; offset: 0 = K = degK
ampere = [current] = A = amp
mole = [substance] = mol
radian = [] = rad
bit = []

@import constants_en.txt

degree = π / 180 * radian = deg
percent = 0.01 = %
minute = 60 * second = min
hour = 60 * minute = h = hr
day = 24 * hour = d
point = pica / 12 = pt = bp
pica = inch / 6 = pc
inch = yard / 36 = in = international_inch
yard = 0.9144 * meter = yd
newton = kilogram * meter / second ** 2 = N
joule = newton * meter = J
ampere_minute = ampere * minute = am
degree_Celsius = kelvin; offset: 273.15 = °C = celsius = degC
degree_Fahrenheit = 5 / 9 * kelvin; offset: 233.15 + 200 / 9 = °F = fahrenheit = degF
ghost = 3 * nonexistent
baud = bit / second = Bd = bps
[area] = [length] ** 2
@alias meter = my_meter = _
@system mks
    meter
    nonsense_word
@end
)";

inline constexpr std::string_view kWorldConstants = R"(# constants of the test world
pi = 3.1415926535897932384626433832795028841971693993751 = π
speed_of_light = 299792458 m/s = c = c_0
boltzmann_constant = 1.380649e-23 J K^-1 = k = k_B
)";

/// A fresh registry of the test world.
inline UnitRegistry world() { return RegistryTesting::from_texts(kWorldMain, kWorldConstants); }

}  // namespace qudim::testing
