# Two entry points: `make run` starts the program, `make test` builds and runs every test.
# Both install what they need first (scripts/bootstrap) and are quick the second time.
JOBS ?= 2
.PHONY: all bootstrap native sanitize windows run test test-native test-sanitize test-windows \
        test-package dist bench screenshot skin-sheet clean format

all: native windows

bootstrap:
	@scripts/bootstrap

native: bootstrap
	cmake --preset native >/dev/null
	cmake --build --preset native -j$(JOBS)

sanitize: bootstrap
	cmake --preset native-sanitize >/dev/null
	cmake --build --preset native-sanitize -j$(JOBS)

windows: bootstrap
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j$(JOBS)

test-native: native
	ctest --preset native

test-sanitize: sanitize
	ctest --preset native-sanitize

test-windows: windows
	scripts/wine-run --prepare
	ctest --preset windows; status=$$?; scripts/wine-run --shutdown; exit $$status

# The Windows release in dist/: the portable zip, the installer and SHA256SUMS.
dist: bootstrap
	cmake --preset windows >/dev/null
	cmake --build --preset windows --target dist -j$(JOBS)

# The release as a Windows user meets it, under Wine in a prefix of its own.
test-package: dist
	tests/package/package-test

test: test-native test-sanitize test-windows test-package

run: native windows
	@scripts/run

bench: native
	bench/run-benchmark

# PNGs of the skinned window, its states and the gallery of controls, in docs/screenshots/.
screenshot: windows
	scripts/screenshot

skin-sheet: bootstrap
	cmake --preset windows >/dev/null
	cmake --build --preset windows --target skin-images -j$(JOBS)
	scripts/skin-sheet

clean:
	rm -rf build dist

format:
	find src tests tools bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i
