# Sourced by the imaging benchmarks: builds the imaging library (Release, in build/) and links
# the benchmark program bench/$1.cpp against it as the application links it. Sets $bench.
"$root/scripts/setup-deps" --bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target vistrel_imaging >/dev/null
bench=$build/$1
g++ -std=c++20 -O2 -Wall -Wextra -Werror -I"$root/src" "$root/bench/$1.cpp" \
  "$build/libvistrel_imaging.a" "$build/libvistrel_common.a" \
  $(pkg-config --cflags --libs Qt6Gui libturbojpeg libjpeg lcms2) -fPIC -o "$bench"
