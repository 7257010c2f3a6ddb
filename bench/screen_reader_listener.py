# SPDX-License-Identifier: GPL-3.0-or-later
# Stands in for a screen reader: subscribes to the accessibility events a reader listens to, so
# the program's screen-reader bridge sends every change as it would to a real one.
import pyatspi, sys, signal
count = {'n': 0}
def on(event):
    count['n'] += 1
for kind in ["object:text-changed", "object:text-caret-moved", "object:state-changed", "object:property-change", "object:children-changed", "focus:"]:
    pyatspi.Registry.registerEventListener(on, kind)
def bye(*a):
    print("listener saw %d events" % count['n'], flush=True)
    sys.exit(0)
signal.signal(signal.SIGTERM, bye)
print("listening", flush=True)
pyatspi.Registry.start()
