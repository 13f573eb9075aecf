import sys

from quorvane.cli import main

sys.exit(main())
