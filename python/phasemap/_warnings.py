"""The package's warning category."""


class InputWarning(UserWarning):
    """An input that is accepted but looks like a slip (issued through `warnings`)."""
