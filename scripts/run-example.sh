#!/usr/bin/env bash
# Sets everything up, then runs the example: the module's main job.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
python examples/demo.py
