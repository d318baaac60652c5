#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any of them is missing.
# Sourced by tools/demo.sh and tools/test.sh.
aqx_need=()
for pkg in cmake g++ make libgtest-dev libbenchmark-dev libeigen3-dev gfortran libpng-dev libnetcdf-dev netcdf-bin chromium \
  parallel slurm-wlm slurmctld slurmd munge; do
  dpkg -s "$pkg" >/dev/null 2>&1 || aqx_need+=("$pkg")
done
if [ ${#aqx_need[@]} -gt 0 ]; then
  echo "installing: ${aqx_need[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${aqx_need[@]}"
fi
unset aqx_need
