"""The package's warning category: the program's warnings and the studies' plausibility
checks, issued through `warnings`."""


class InputWarning(UserWarning):
    """A likely slip in the input that still reads: the program's one-line warning, or a
    study's plausibility check.

    Each call issues every warning the program gives for its input once, through
    ``warnings.warn`` once the call has ended, so that the ``warnings`` filters apply:
    ``warnings.simplefilter("error", phasemap.InputWarning)`` turns them into errors (after
    ``write()`` the outputs are then written all the same).

    Examples
    --------
    >>> with warnings.catch_warnings(record=True) as caught:
    ...     warnings.simplefilter("always")
    ...     diagram = phasemap.read_input("bound\\n-2 0 -1.5 0\\nstop\\n")
    >>> print(caught[0].message)
    phasemap: warning: input.txt, line 3: no surface was read, so the map will show the frame \
and axes only
    """
