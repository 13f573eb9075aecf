#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian
# machine (system packages and a virtual environment in .venv), then builds
# and installs the package in it.
set -euo pipefail
cd "$(dirname "$0")/.."

# chromium and its driver: the page of the chart service is tested in a real
# browser.
apt_packages=(g++ libgtest-dev libbenchmark-dev nlohmann-json3-dev python3-venv
  chromium chromium-driver)
missing=()
for package in "${apt_packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

[ -x .venv/bin/python ] || python3 -m venv .venv
.venv/bin/python -m pip install -q --upgrade pip
.venv/bin/python -m pip install -q scikit-build-core ninja cmake
.venv/bin/python -m pip install -q --no-build-isolation '.[test,data,places,serve]'
echo "quorvane_engine is installed in .venv"
