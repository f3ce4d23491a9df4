#!/bin/sh
# Prints the non-blank lines of test code and of product code and their ratio.
# Counting rule (only files tracked by git; a line counts if it holds any
# character other than white space):
#  test code    = code files under tests/ (.cpp .h .c .sh .py .cmake and
#                 CMakeLists.txt; the test data under tests/data other than
#                 its scripts, and the fuzz corpora, are data), plus the test
#                 scripts and test build files elsewhere: cmake/Tests.cmake,
#                 cmake/wine-run.sh (it runs the Windows tests), scripts/test.sh,
#                 scripts/wine-ctest.sh, scripts/test-user.sh (it prepares the
#                 user that runs them), .ci/run.
#  product code = src/ (.cpp .h .c .rc), tools/, the demo's sources
#                 (examples/demo/src, examples/demo/CMakeLists.txt), the other
#                 scripts/, the top-level CMakeLists.txt and CMakePresets.json,
#                 and the other cmake/ files (the toolchains).
#  neither      = bench/ (benchmarks are measurements, not product or test),
#                 docs/, README.md, and this script itself.
set -e
cd "$(dirname "$0")/.."

count() { # reads file names on stdin, prints the sum of their non-blank lines
    tr '\n' '\0' | xargs -0 cat -- 2>/dev/null | grep -c '[^[:space:]]' || true
}

code='\.(cpp|h|c|sh|py|cmake)$|(^|/)CMakeLists\.txt$'
test_extra='^(cmake/Tests\.cmake|cmake/wine-run\.sh|scripts/test\.sh|scripts/wine-ctest\.sh|scripts/test-user\.sh|\.ci/run)$'

tests=$( { git ls-files tests | grep -E "$code" | grep -v '^tests/fuzz/corpus/';
           git ls-files | grep -E "$test_extra"; } | count)

product=$( { git ls-files src | grep -E '\.(cpp|h|c|rc)$';
             git ls-files tools | grep -E "$code";
             git ls-files examples/demo/src examples/demo/CMakeLists.txt;
             git ls-files scripts cmake CMakeLists.txt CMakePresets.json |
                 grep -Ev "$test_extra" | grep -v '^scripts/test-ratio\.sh$'; } | count)

# Shown beside the ratio, not in it: the test data under tests/data (the
# text files; the tables of names and medium defects are among them).
data=$(git ls-files tests/data | grep -Ev '/make\.sh$' | xargs grep -Ic '[^[:space:]]' 2>/dev/null |
           awk -F: '{ s += $NF } END { print s + 0 }')

echo "test code:    $tests non-blank lines"
echo "product code: $product non-blank lines"
awk -v t="$tests" -v p="$product" 'BEGIN { printf "ratio:        %.2f\n", t / p }'
echo "test data:    $data non-blank lines of text (not counted)"
