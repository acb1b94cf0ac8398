"""phasemap from Python: surface phase diagrams over two chemical potentials.

Read or build a `Diagram` of candidate surface terminations (everything input.txt holds),
find where each is the most stable (`Diagram.solve`, the program's own search; `envelope`,
an exact engine for any number of planes), draw the regions with matplotlib or write the
program's own outputs; or set a diagram up from total energies with a `Study`.

Where things live (every public name is here, in `phasemap`):

- ``_diagram``: Diagram, read_input (input.txt both ways); ``_entries``: its entries Bulk,
  Surface, Label, Line, BoxedLine, PressureScale;
- ``_result``: Result and Region (what solve gives); ``_plot``: the plots of every result
  (``plot``, ``plot_line``, ``_repr_png_``), by concern in ``_plot_colours`` (PALETTE, the
  neighbours' colours), ``_plot_labels`` with ``_plot_geometry``, ``_plot_axes``,
  ``_plot_text`` and ``_plot_line``;
- ``_errors``: InputError, InputWarning, ComputationError, and the calls into the program;
- ``_envelope``: envelope, Envelope (the exact engine), ``_envelope_sweep``: envelope_sweep,
  EnvelopeSweep;
- ``study``: Study, with ``_study_chemistry`` (species and exact linear algebra),
  ``_study_region`` (StabilityRegion), ``_study_solve`` (StudyResult), ``_study_pressure``
  (PressureAxis) and ``_study_program`` (a study as the program's Diagram);
- ``_composition``: composition, formula, Slab; ``gas``: ideal gases from the NIST-JANAF
  tables; ``_exact``: exact rational geometry;
- ``__main__``: ``python3 -m phasemap``, phase.json and the colour map of an input.txt of any
  number of surfaces.

The extensions ``_core`` (the program's core) and ``_engine`` (the exact engine) are private.
"""

from . import _core, gas
from ._composition import Slab, composition, formula
from ._diagram import Diagram, read_input
from ._entries import BoxedLine, Bulk, Label, Line, PressureScale, Surface
from ._envelope import Envelope, envelope
from ._envelope_sweep import EnvelopeSweep, envelope_sweep
from ._errors import ComputationError, InputError, InputWarning
from ._plot_colours import NEIGHBOUR_DIFFERENCE, PALETTE
from ._result import Region, Result
from .study import PressureAxis, StabilityRegion, Study, StudyResult

#: The package's version, the program's: ``phasemap --version`` and phase.json say the same.
__version__: str = _core.version

__all__ = [
    "Bulk",
    "Surface",
    "Label",
    "Line",
    "BoxedLine",
    "PressureScale",
    "Diagram",
    "Region",
    "Result",
    "InputError",
    "InputWarning",
    "ComputationError",
    "read_input",
    "PALETTE",
    "NEIGHBOUR_DIFFERENCE",
    "envelope",
    "envelope_sweep",
    "Envelope",
    "EnvelopeSweep",
    "Slab",
    "Study",
    "StabilityRegion",
    "StudyResult",
    "PressureAxis",
    "composition",
    "formula",
    "gas",
]
